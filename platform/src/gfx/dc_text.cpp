// Text layout and drawing for device contexts: line splitting, word breaking,
// end ellipsis, alignment and glyph blending.
#include <algorithm>

#include "gfx/blend.h"
#include "gfx/font_impl.h"
#include "plat/gfx/dc.h"

namespace plat {

namespace {

using namespace text_format;

const std::u32string kEllipsis = U"...";

// Characters after (or before) which a line may break without a space:
// CJK ideographs, kana, full-width forms.
bool breaksFreely(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) || c >= 0x20000;
}

int64_t widthOf(FontImpl& f, const std::u32string& s) {
  int64_t w = 0;
  for (char32_t c : s) w += f.advance(c);
  return w;
}

std::u32string stripPrefixes(const std::u32string& in) {
  std::u32string out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == U'&') {
      if (i + 1 < in.size()) out.push_back(in[++i]);  // "&&" gives "&", "&x" gives "x"
      continue;
    }
    out.push_back(in[i]);
  }
  return out;
}

// Breaks one paragraph into lines no wider than maxWidth where possible:
// at spaces, around CJK characters, and inside a word only when the word
// alone is too wide.
void wrapParagraph(FontImpl& f, const std::u32string& para, int64_t maxWidth,
                   std::vector<std::u32string>* lines) {
  size_t start = 0;
  while (start < para.size()) {
    int64_t width = 0;
    size_t lastBreak = std::u32string::npos;  // index where the next line may start
    size_t i = start;
    for (; i < para.size(); ++i) {
      const char32_t c = para[i];
      if (c == U' ') lastBreak = i + 1;
      else if (i > start && (breaksFreely(c) || breaksFreely(para[i - 1]))) lastBreak = i;
      const int64_t w = f.advance(c);
      if (width + w > maxWidth && i > start && c != U' ') break;
      width += w;
    }
    size_t end = i, next = i;
    if (i < para.size() && lastBreak != std::u32string::npos && lastBreak > start) {
      end = next = lastBreak;
    }
    std::u32string line = para.substr(start, end - start);
    while (!line.empty() && line.back() == U' ') line.pop_back();
    lines->push_back(std::move(line));
    start = next;
    while (start < para.size() && para[start] == U' ') ++start;
  }
  if (para.empty()) lines->push_back(std::u32string());
}

std::u32string ellipsize(FontImpl& f, std::u32string line, int64_t maxWidth, bool force) {
  if (!force && widthOf(f, line) <= maxWidth) return line;
  const int64_t ew = widthOf(f, kEllipsis);
  int64_t w = widthOf(f, line);
  while (!line.empty() && w + ew > maxWidth) {
    w -= f.advance(line.back());
    line.pop_back();
  }
  return line + kEllipsis;
}

// Blends one glyph in `color` at pen position (x, baseline y), clipped.
void drawGlyph(Surface& s, const RectList& clip, const Glyph& g, int64_t x, int64_t y,
               Pixel color) {
  if (g.width <= 0 || g.height <= 0) return;
  const Rect box = Rect{saturate32(x + g.left), saturate32(y - g.top),
                        saturate32(x + g.left + g.width), saturate32(y - g.top + g.height)};
  const int64_t gx = x + g.left, gy = y - g.top;
  for (const Rect& c : clip) {
    const Rect a = intersectRects(box, c);
    for (int32_t py = a.top; py < a.bottom; ++py) {
      const uint8_t* cov = g.coverage.data() + static_cast<size_t>(py - gy) * g.width;
      Pixel* row = s.row(py);
      for (int32_t px = a.left; px < a.right; ++px) {
        const uint8_t v = cov[px - gx];
        if (v) row[px] = blend::over(row[px], color, v);
      }
    }
  }
}

}  // namespace

int32_t DeviceContext::drawText(StringView16 text, Rect* rect, uint32_t format) {
  if (!rect) return 0;
  std::lock_guard lock(textMutex());
  FontImpl& f = font_->impl();
  const TextMetrics& m = f.metrics();
  const int64_t lineHeight = std::max(1, m.height);
  const int64_t rectWidth = std::max<int64_t>(0, spanX(*rect));
  const int64_t rectHeight = std::max<int64_t>(0, spanY(*rect));

  std::u32string all = decodeUtf16(text);
  if (!(format & kNoPrefix)) all = stripPrefixes(all);

  std::vector<std::u32string> lines;
  if (format & kSingleLine) {
    std::u32string line;
    for (char32_t c : all) line.push_back(c == U'\r' || c == U'\n' ? U' ' : c);
    lines.push_back(std::move(line));
  } else {
    size_t start = 0;
    while (true) {
      size_t nl = all.find(U'\n', start);
      std::u32string para = all.substr(start, nl == std::u32string::npos ? nl : nl - start);
      if (!para.empty() && para.back() == U'\r') para.pop_back();
      if (format & kWordBreak) wrapParagraph(f, para, rectWidth, &lines);
      else lines.push_back(std::move(para));
      if (nl == std::u32string::npos) break;
      start = nl + 1;
    }
  }

  if (format & kCalcRect) {
    int64_t widest = 0;
    for (const auto& l : lines) widest = std::max(widest, widthOf(f, l));
    rect->right = saturate32(int64_t{rect->left} + widest);
    rect->bottom = saturate32(int64_t{rect->top} + lineHeight * static_cast<int64_t>(lines.size()));
    return static_cast<int32_t>(std::min<int64_t>(lineHeight * lines.size(), INT32_MAX));
  }

  if (format & kEndEllipsis) {
    bool cutLast = false;
    if (!(format & kSingleLine)) {
      const size_t fit = static_cast<size_t>(std::max<int64_t>(1, rectHeight / lineHeight));
      if (lines.size() > fit) {
        lines.resize(fit);
        cutLast = true;
      }
    }
    for (size_t i = 0; i < lines.size(); ++i)
      lines[i] = ellipsize(f, lines[i], rectWidth, cutLast && i + 1 == lines.size());
  }

  const int64_t total = lineHeight * static_cast<int64_t>(lines.size());
  int64_t y = rect->top;
  if (format & kSingleLine) {
    if (format & kVCenter) y = rect->top + (rectHeight - lineHeight) / 2;
    else if (format & kBottom) y = int64_t{rect->bottom} - lineHeight;
  }

  if (!target_) return static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
  RectList clip = (format & kNoClip) ? effective_ : intersectList(effective_, toSurface(*rect));
  const Pixel color = pixelFromColorRef(textColor_);
  const Pixel background = pixelFromColorRef(bkColor_);
  for (const auto& line : lines) {
    const int64_t w = widthOf(f, line);
    int64_t x = rect->left;
    if (format & kCenter) x = rect->left + (rectWidth - w) / 2;
    else if (format & kRight) x = int64_t{rect->right} - w;
    const int64_t sx = x + origin_.x, sy = y + origin_.y;
    if (bkMode_ == BackgroundMode::Opaque) {
      const Rect box{saturate32(sx), saturate32(sy), saturate32(sx + w), saturate32(sy + lineHeight)};
      for (const Rect& c : clip) target_->fill(intersectRects(box, c), background);
    }
    int64_t pen = sx;
    for (char32_t c : line) {
      const Glyph& g = f.glyph(c);
      drawGlyph(*target_, clip, g, pen, sy + m.ascent, color);
      pen += g.advance;
    }
    y += lineHeight;
  }
  return static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
}

void DeviceContext::textOut(int32_t x, int32_t y, StringView16 text) {
  Rect r{x, y, saturate32(int64_t{x} + INT32_MAX), saturate32(int64_t{y} + INT32_MAX)};
  drawText(text, &r, kSingleLine | kNoPrefix | kNoClip);
}

Size DeviceContext::textExtent(StringView16 text) const { return font_->measure(text); }

TextMetrics DeviceContext::textMetrics() const { return font_->metrics(); }

}  // namespace plat
