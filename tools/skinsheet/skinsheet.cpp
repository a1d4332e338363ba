// Renders the installed default skin to PNG files for review:
//   skin-sheet-NN.png every picture of every document, with the keys naming it
//                     (one or more pages per document)
//   splash.png        the splash window as the player shows it at start
//   waiting.png       the waiting window with its first frame
//   main-preview.png  the main window's layout drawn from the main document
// Usage: skinsheet --out DIR   (the skin is read from the program directory)
// Exits non-zero when a document does not load or a named picture is missing
// or does not decode, so the build's test catches a broken skin.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/skin/image_cache.h"
#include "app/skin/skin_set.h"
#include "plat/gfx/dc.h"
#include "plat/gfx/window_surfaces.h"
#include "plat/message.h"
#include "plat/paths.h"
#include "windows/splash/splash.h"

namespace {

using namespace tunora;
using plat::Rect;

bool endsWith(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// Items that hold numbers of their own rather than picture ids.
bool isPictureKey(const std::string& key) {
  for (const char* s : {"Num", "Numt", "Height", "Width", "Level", "Count", "Is2X", "Flag", "Offset", "Gap",
                        "Mode", "Existed", "IsEnable", "IsBlack", "Disabled", "Page", "ColorR", "ColorG", "ColorB"})
    if (endsWith(key, s)) return false;
  return key.find("Rect") == std::string::npos && key.find("Rgn") == std::string::npos &&
         key.find("Color") == std::string::npos && key.find("Font") == std::string::npos;
}

struct Entry {
  std::u16string path;
  std::string label;  // "section/key" of the first item naming it
  int others = 0;     // further items naming the same picture
  plat::ImagePtr image;
};

struct Group {
  std::string title;
  std::vector<Entry> entries;
};

plat::FontPtr font(int height, int weight = plat::kWeightNormal) {
  return plat::createFont(plat::FontSpec{u"Noto Sans CJK JP", height, weight, plat::kCharsetJapanese});
}

void text(plat::DeviceContext& dc, const std::u16string& s, Rect r, const plat::FontPtr& f, plat::ColorRef c,
          uint32_t format) {
  dc.selectFont(f);
  dc.setTextColor(c);
  dc.setBackgroundMode(plat::BackgroundMode::Transparent);
  dc.drawText(s, &r, format);
}

Rect fit(int w, int h, Rect box) {
  const double scale = std::min({1.0, box.width() / double(w), box.height() / double(h)});
  const int sw = std::max(1, int(w * scale)), sh = std::max(1, int(h * scale));
  const int x = box.left + (box.width() - sw) / 2, y = box.top + (box.height() - sh) / 2;
  return Rect{x, y, x + sw, y + sh};
}

// One page per document group, split further so no page grows past about
// 2000 pixels (image viewers and reviews cope with that).
int writeSheets(const std::vector<Group>& groups, const std::filesystem::path& dir, int* pages) {
  constexpr int kCols = 8, kCellW = 200, kCellH = 172, kHeader = 44, kMargin = 16, kRowsPerPage = 11;
  const auto titleFont = font(26, plat::kWeightBold), labelFont = font(13);
  *pages = 0;
  for (const Group& g : groups) {
    const int rows = int((g.entries.size() + kCols - 1) / kCols);
    for (int firstRow = 0; firstRow < std::max(rows, 1); firstRow += kRowsPerPage) {
      const int pageRows = std::min(kRowsPerPage, rows - firstRow);
      plat::Surface sheet;
      if (plat::failed(sheet.reset(kMargin * 2 + kCols * kCellW, kMargin * 2 + kHeader + std::max(pageRows, 0) * kCellH,
                                   plat::makePixel(24, 26, 30))))
        return 1;
      auto dc = plat::DeviceContext::createForSurface(&sheet, plat::Point{0, 0}, plat::RectList{sheet.bounds()});
      std::string title = g.title;
      if (rows > kRowsPerPage) title += "  (" + std::to_string(firstRow / kRowsPerPage + 1) + ")";
      text(*dc, plat::utf8ToUtf16(title), Rect{kMargin, kMargin, sheet.width() - kMargin, kMargin + kHeader},
           titleFont, plat::makeColorRef(255, 255, 255), plat::text_format::kVCenter | plat::text_format::kSingleLine);
      const int y = kMargin + kHeader;
      const size_t first = size_t(firstRow) * kCols;
      const size_t last = std::min(g.entries.size(), first + size_t(kRowsPerPage) * kCols);
      for (size_t i = first; i < last; ++i) {
        const Entry& e = g.entries[i];
        const size_t k = i - first;
        const int x0 = kMargin + int(k % kCols) * kCellW, y0 = y + int(k / kCols) * kCellH;
        const Rect box{x0 + 6, y0 + 4, x0 + kCellW - 6, y0 + 116};
        // A checkerboard shows where a picture is transparent.
        for (int cy = box.top; cy < box.bottom; cy += 8)
          for (int cx = box.left; cx < box.right; cx += 8)
            dc->fillRect(Rect{cx, cy, std::min(cx + 8, box.right), std::min(cy + 8, box.bottom)},
                         ((cx - box.left) / 8 + (cy - box.top) / 8) % 2 ? plat::makeColorRef(70, 70, 76)
                                                                        : plat::makeColorRef(96, 96, 104));
        dc->drawImage(*e.image, fit(e.image->width(), e.image->height(), box));
        std::string label = e.label + "\n" + std::to_string(e.image->width()) + "x" + std::to_string(e.image->height());
        if (e.others) label += "  (+" + std::to_string(e.others) + " keys)";
        text(*dc, plat::utf8ToUtf16(label), Rect{x0 + 4, y0 + 118, x0 + kCellW - 4, y0 + kCellH - 2}, labelFont,
             plat::makeColorRef(220, 224, 232), plat::text_format::kWordBreak | plat::text_format::kCenter);
      }
      ++*pages;
      char name[64];
      std::snprintf(name, sizeof name, "skin-sheet-%02d.png", *pages);
      if (plat::failed(plat::writePngFile(sheet, dir / name))) return 1;
    }
  }
  return 0;
}

// The main window as its layout step would place it, for judging the look.
void drawMainPreview(skin::SkinDocument& main, skin::SkinDocument& comm, skin::SkinDocument& channel,
                     plat::Surface& out) {
  auto dc = plat::DeviceContext::createForSurface(&out, plat::Point{0, 0}, plat::RectList{out.bounds()});
  auto pic = [&](skin::SkinDocument& d, const char* s, const std::string& k, Rect r) {
    if (auto p = d.getPicturePath(s, k))
      if (auto img = skin::imageCache().load(*p)) dc->drawImage(*img, r);
  };
  const char* cp = "ControlPanelWindow";
  pic(main, cp, "CPWndBgImg", out.bounds());
  if (auto r = main.getRect(cp, "CPWndLogoRect")) pic(comm, "WindowLog", "CPWndLogoImg0", *r);
  const int n = main.getNumber(cp, "CPWndBtNum").value_or(0);
  for (int i = 0; i < n; ++i)
    if (auto r = main.getRect(cp, plat::formatString("CPWndBtRect%d", i)))
      pic(main, cp, plat::formatString("CPWndBtImg%d0", i), *r);
  if (auto r = main.getRect(cp, "VideoRect")) {
    dc->fillRect(*r, plat::makeColorRef(4, 6, 12));
    text(*dc, u"地上デジタル放送", *r, font(28), plat::makeColorRef(90, 100, 120),
         plat::text_format::kCenter | plat::text_format::kVCenter | plat::text_format::kSingleLine);
  }
  if (auto r = main.getRect(cp, "SignalRect")) pic(main, "SignalWindow", "SNG_4", *r);
  if (auto r = main.getRect("BatteryWindow", "BatteryRect")) pic(main, "BatteryWindow", "BATT_3", *r);
  const auto white = plat::makeColorRef(245, 247, 255);
  const uint32_t one = plat::text_format::kVCenter | plat::text_format::kSingleLine | plat::text_format::kEndEllipsis;
  if (auto r = main.getRect(cp, "TimeRect"))
    text(*dc, u"21:45", *r, comm.getFont("JapaneseFontConfig", "DateDisplayFont"), white, one | plat::text_format::kCenter);
  if (auto r = main.getRect(cp, "ChannelNameInfoRect"))
    text(*dc, u"NHK総合・東京", *r, comm.getFont("JapaneseFontConfig", "MainWindowChannelNameFont"), white, one);
  if (auto r = main.getRect(cp, "ProgBarRect")) {
    pic(main, "ProgWnd0", "CPWndProgBarImg", *r);
    pic(main, "ProgWnd0", "CPWndSildeImg", Rect{r->left + r->width() / 3, r->top, r->left + r->width() / 3 + r->height(), r->bottom});
  }
  if (auto r = main.getRect(cp, "ProgTextRect"))
    text(*dc, u"00:12:34", *r, comm.getFont("JapaneseFontConfig", "InfoBarFont"), white, one | plat::text_format::kCenter);
  if (auto r = main.getRect(cp, "VolumeRect")) pic(main, "VolumeBar", "VolumeBarImg6", *r);
  // The main channel list: rows of the button-row list beside a page scroll bar.
  if (auto panel = channel.getRect("MainChannellistWindow", "ChRichListRect")) {
    pic(channel, "MainChannellistWindow", "BkImage", *panel);
    const auto rowFont = comm.getFont("JapaneseFontConfig", "ChannelListChannelNameFont");
    const char16_t* names[] = {u"NHK総合", u"NHK Eテレ", u"日本テレビ", u"テレビ朝日", u"TBS"};
    for (int i = 0; i < 5; ++i) {
      auto row = channel.getRect("BtnOwnList0", plat::formatString("ListBtRect%d", i));
      if (!row) continue;
      const Rect r{panel->left + row->left, panel->top + row->top, panel->left + row->right, panel->top + row->bottom};
      pic(channel, "BtnOwnList0", i == 0 ? "ListBtImg1" : "ListBtImg0", r);
      Rect idx{r.left + 8, r.top, r.left + 52, r.bottom}, name{r.left + 56, r.top, r.right - 4, r.bottom};
      text(*dc, plat::utf8ToUtf16(std::to_string(i + 1)), idx, rowFont, white, one | plat::text_format::kCenter);
      text(*dc, names[i], name, rowFont, white, one);
    }
    if (auto sb = channel.getRect("MainChannellistWindow", "ChListScrolllBarRect")) {
      const Rect r{panel->left + sb->left, panel->top + sb->top, panel->left + sb->right, panel->top + sb->bottom};
      pic(channel, "ScrollBar600", "BkImage", r);
      pic(channel, "ScrollBar600", "UpArrowUnSel", Rect{r.left, r.top, r.right, r.top + 48});
      pic(channel, "ScrollBar600", "DownArrowUnSel", Rect{r.left, r.bottom - 48, r.right, r.bottom});
      pic(channel, "ScrollBar600", "sb_thumb", Rect{r.left, r.top + 60, r.right, r.top + 116});
    }
  }
}

int screenshotOf(plat::Screen& screen, VexoSplash& w, const std::filesystem::path& file) {
  w.SetRect(Rect{0, 0, 800, 480});
  w.Show();
  plat::pumpPendingMessages();
  screen.compose();
  const int rc = plat::failed(screen.writeScreenshot(file)) ? 1 : 0;
  w.Hide();
  plat::pumpPendingMessages();
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path out = ".";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) out = argv[++i];
    else {
      std::fprintf(stderr, "usage: skinsheet [--out DIR]\n");
      return 2;
    }
  }
  std::filesystem::create_directories(out);
  int problems = 0;
  skin::imageCache().setEnabled(true);
  skin::imageCache().setCorruptHandler([&](plat::StringView16 p) {
    std::fprintf(stderr, "skinsheet: damaged image %s\n", plat::utf16ToUtf8(p).c_str());
    ++problems;
  });
  skin::SkinSet set(plat::programDirectory());
  if (set.configure({[] { return 0u; }, [](uint32_t) {}}) == 0) {
    std::fprintf(stderr, "skinsheet: the skins configuration failed\n");
    return 1;
  }
  std::vector<Group> groups;
  std::map<std::u16string, std::pair<size_t, size_t>> seen;  // path -> (group, entry)
  auto addDocument = [&](skin::SkinDocument* doc, const std::string& title) {
    if (!doc) {
      std::fprintf(stderr, "skinsheet: %s is missing\n", title.c_str());
      ++problems;
      return;
    }
    groups.push_back(Group{title, {}});
    for (const std::string& section : doc->sectionNames()) {
      for (const auto& [key, value] : doc->items(section)) {
        if (!isPictureKey(key)) continue;
        const auto path = doc->getPicturePath(section, key);
        if (!path) continue;
        if (auto it = seen.find(*path); it != seen.end()) {
          ++groups[it->second.first].entries[it->second.second].others;
          continue;
        }
        skin::ImageResult result;
        auto image = skin::imageCache().load(*path, &result);
        if (!image) {
          std::fprintf(stderr, "skinsheet: %s %s/%s names a missing picture %s\n", title.c_str(), section.c_str(),
                       key.c_str(), plat::utf16ToUtf8(*path).c_str());
          ++problems;
          continue;
        }
        seen[*path] = {groups.size() - 1, groups.back().entries.size()};
        groups.back().entries.push_back(Entry{*path, section + "/" + key, 0, image});
      }
    }
  };
  for (const skin::SkinDocInfo& info : skin::skinDocTable())
    addDocument(set.document(info.doc), plat::utf16ToUtf8(info.file));
  skin::SkinDocument doubleSize;
  if (doubleSize.open(set.skinDirectory(0), skin::kMainDocumentDouble)) addDocument(&doubleSize, "dvbplayerskin.xml");
  else ++problems;

  size_t images = 0;
  for (const Group& g : groups) images += g.entries.size();
  int pages = 0;
  if (writeSheets(groups, out, &pages)) ++problems;

  plat::Screen screen(plat::Size{800, 480});
  screen.install();
  skin::SkinDocument& comm = *set.document(skin::SkinDoc::CommConfig);
  {
    VexoSplashWindow splash(comm);
    problems += screenshotOf(screen, splash, out / "splash.png");
  }
  {
    VexoWaitingWindow waiting(comm);
    problems += screenshotOf(screen, waiting, out / "waiting.png");
  }
  plat::Surface preview;
  preview.reset(800, 480, plat::makePixel(0, 0, 0));
  drawMainPreview(*set.main(), comm, *set.document(skin::SkinDoc::Channel), preview);
  if (plat::failed(plat::writePngFile(preview, out / "main-preview.png"))) ++problems;

  std::printf("skinsheet: %zu pictures; wrote skin-sheet-01..%02d.png, splash.png, waiting.png, main-preview.png in %s; "
              "%d problems\n",
              images, pages, out.string().c_str(), problems);
  return problems == 0 ? 0 : 1;
}
