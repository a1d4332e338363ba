// The shipped default skin, as staged into the program directory: every
// document loads, the main window's buttons are where the main window expects
// them and big enough to touch, and every picture they name decodes.
#include <gtest/gtest.h>

#include <set>

#include "app/skin/image_cache.h"
#include "app/skin/skin_set.h"
#include "plat/paths.h"

namespace tunora::skin {
namespace {

constexpr int kMinTouch = 48;

class DefaultSkinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = plat::currentPathConfig();
    plat::PathConfig c = saved_;
    c.programDir = TUNORA_PROGRAM_DIR;
    plat::configurePaths(c);
    imageCache().clear();
    imageCache().setEnabled(true);
    ASSERT_EQ(set.configure({[] { return 0u; }, [](uint32_t) {}}), 1);
  }
  void TearDown() override {
    imageCache().clear();
    imageCache().setEnabled(false);
    plat::configurePaths(saved_);
  }
  void expectPicture(SkinDocument& doc, const std::string& section, const std::string& key) {
    SCOPED_TRACE(section + "/" + key);
    const auto path = doc.getPicturePath(section, key);
    ASSERT_TRUE(path);
    ImageResult r;
    EXPECT_TRUE(imageCache().load(*path, &r));
    EXPECT_EQ(r, ImageResult::Loaded);
  }

  plat::PathConfig saved_;
  SkinSet set{plat::programDirectory()};
};

TEST_F(DefaultSkinTest, EveryDocumentLoads) {
  for (const SkinDocInfo& info : skinDocTable()) EXPECT_TRUE(set.document(info.doc)) << plat::utf16ToUtf8(info.file);
  SkinDocument doubleSize;
  EXPECT_TRUE(doubleSize.open(set.skinDirectory(0), kMainDocumentDouble));
}

TEST_F(DefaultSkinTest, MainWindowButtons) {
  SkinDocument& main = *set.main();
  const char* cp = "ControlPanelWindow";
  const plat::Rect window = main.getRect(cp, "CPWndRect").value_or(plat::Rect{});
  EXPECT_EQ(window, (plat::Rect{0, 0, 800, 480}));
  const std::set<std::string> known = {
      "IDC_BUTTON_MIN", "IDC_BUTTON_1X2X", "IDC_BUTTON_EXIT", "IDC_BUTTON_OPEN", "IDC_BUTTON_PLAY",
      "IDC_BUTTON_STOP", "IDC_BUTTON_CHDOWN", "IDC_BUTTON_CHUP", "IDC_BUTTON_CHLIST", "IDC_BUTTON_SNAP",
      "IDC_BUTTON_RECORD", "IDC_BUTTON_TIMESHIFT", "IDC_BUTTON_SETTING", "IDC_BUTTON_MUTE",
      "IDC_BUTTON_VOLUMEUP", "IDC_BUTTON_VOLUMEDOWN", "IDC_BUTTON_PLAYLIST", "IDC_BUTTON_SHUFFLE"};
  const int n = main.getNumber(cp, "CPWndBtNum").value_or(0);
  ASSERT_GT(n, 13);
  std::vector<plat::Rect> rects;
  for (int i = 0; i < n; ++i) {
    SCOPED_TRACE(i);
    const auto id = main.getString(cp, plat::formatString("CPWndButtonID%d", i));
    ASSERT_TRUE(id);
    EXPECT_TRUE(known.count(*id)) << *id;
    const auto r = main.getRect(cp, plat::formatString("CPWndBtRect%d", i));
    ASSERT_TRUE(r);
    EXPECT_GE(r->width(), kMinTouch);
    EXPECT_GE(r->height(), kMinTouch);
    EXPECT_TRUE(r->left >= 0 && r->top >= 0 && r->right <= window.right && r->bottom <= window.bottom);
    for (const plat::Rect& other : rects)  // no two buttons overlap
      EXPECT_FALSE(r->left < other.right && other.left < r->right && r->top < other.bottom && other.top < r->bottom);
    rects.push_back(*r);
    for (int s = 0; s < 4; ++s) expectPicture(main, cp, plat::formatString("CPWndBtImg%d%d", i, s));
  }
  // The main window restores these looks by fixed button index.
  EXPECT_EQ(main.getString(cp, "CPWndButtonID1"), "IDC_BUTTON_PLAY");
  EXPECT_EQ(main.getString(cp, "CPWndButtonID8"), "IDC_BUTTON_MUTE");
  EXPECT_EQ(main.getString(cp, "CPWndButtonID13"), "IDC_BUTTON_SHUFFLE");
  for (const char* look : {"CPWndBtPauseImg", "CPWndBtUnMuteImg", "CPWndBtOrdinaryImg", "CPWndBtBMLImg"})
    for (int s = 0; s < 4; ++s) expectPicture(main, cp, plat::formatString("%s%d", look, s));
}

TEST_F(DefaultSkinTest, DoubleSizeIsTwiceTheNormalLayout) {
  SkinDocument doubleSize;
  ASSERT_TRUE(doubleSize.open(set.skinDirectory(0), kMainDocumentDouble));
  SkinDocument& main = *set.main();
  EXPECT_EQ(doubleSize.getNumber("ControlPanelWindow", "CPWndIs2X"), 1);
  for (const auto& [key, value] : main.items("ControlPanelWindow")) {
    if (key.find("Rect") == std::string::npos) continue;
    SCOPED_TRACE(key);
    const plat::Rect a = *main.getRect("ControlPanelWindow", key);
    const plat::Rect b = *doubleSize.getRect("ControlPanelWindow", key);
    EXPECT_EQ(b, (plat::Rect{a.left * 2, a.top * 2, a.right * 2, a.bottom * 2}));
  }
}

TEST_F(DefaultSkinTest, IndicatorsFontsAndStartupWindows) {
  SkinDocument& main = *set.main();
  for (int i = 0; i <= 5; ++i) {
    expectPicture(main, "SignalWindow", plat::formatString("SNG_%d", i));
    expectPicture(main, "BatteryWindow", plat::formatString("BATT_%d", i));
    expectPicture(main, "BatteryWindow", plat::formatString("BATT_CHRG_%d", i));
  }
  SkinDocument& comm = *set.document(SkinDoc::CommConfig);
  for (const char* f : {"DateDisplayFont", "InfoBarFont", "MainWindowChannelNameFont", "ChannelListChannelNameFont",
                        "EventListEventNameFont", "FileBrowserFont", "AreaPageBtnFont"}) {
    SCOPED_TRACE(f);
    const auto font = comm.getFont("JapaneseFontConfig", f);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->spec().charset, 128);
    EXPECT_GE(font->spec().height, 20);  // legible at arm's length
    EXPECT_TRUE(comm.getFont("FontConfig", f));
  }
  expectPicture(comm, "SplashWindow", "BkImage");
  expectPicture(comm, "WaitingWindow", "BkImage");
  const int frames = comm.getNumber("WaitingWindow", "WaitingImgNum").value_or(0);
  EXPECT_GT(frames, 1);
  for (int i = 1; i <= frames; ++i) expectPicture(comm, "WaitingWindow", plat::formatString("WaitingImg%d", i));
  const FileTypeFilters filters = readFileTypeFilters(comm);
  EXPECT_FALSE(filters.video.empty());
  EXPECT_FALSE(filters.audio.empty());
  EXPECT_EQ(filters.all.size(), filters.video.size() + filters.audio.size() + filters.picture.size());
}

TEST_F(DefaultSkinTest, ButtonShapesHaveRegions) {
  SkinDocument& main = *set.main();
  const auto path = main.getPicturePath("ControlPanelWindow", "CPWndBtImg10");
  ASSERT_TRUE(path);
  const auto region = loadRegion(regionPathForImage(*path));
  ASSERT_TRUE(region);
  EXPECT_TRUE(region->contains(plat::Point{25, 32}));
  EXPECT_FALSE(region->contains(plat::Point{0, 0}));  // rounded corner
}

}  // namespace
}  // namespace tunora::skin
