// Fonts: FreeType faces found through fontconfig or added as font resources.
// A font is asked for by face name, height, weight and character set. When the
// face is not available, or lacks a glyph, a Japanese/Chinese-capable face
// (Noto Sans CJK, chosen by the character set) stands in, so Japanese, Chinese
// and Latin text always render.
//
// Height follows the usual convention of the skins: a positive height is the
// cell height (ascent + descent) in pixels, a negative height the em size,
// 0 the default size.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "plat/geometry.h"
#include "plat/status.h"
#include "plat/text.h"

namespace plat {

// Character sets the skins name by number.
inline constexpr int32_t kCharsetDefault = 0;
inline constexpr int32_t kCharsetJapanese = 128;
inline constexpr int32_t kCharsetSimplifiedChinese = 134;
inline constexpr int32_t kCharsetTraditionalChinese = 136;

inline constexpr int32_t kWeightNormal = 400;
inline constexpr int32_t kWeightBold = 700;
inline constexpr size_t kMaxFaceNameLength = 31;

struct FontSpec {
  String16 face;          // cut to kMaxFaceNameLength characters
  int32_t height = 0;
  int32_t weight = kWeightNormal;
  int32_t charset = kCharsetDefault;
  bool italic = false;
  bool antialias = true;
};

struct TextMetrics {
  int32_t height = 0;  // ascent + descent
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t internalLeading = 0;
  int32_t externalLeading = 0;
  int32_t aveCharWidth = 0;
  int32_t maxCharWidth = 0;
};

class FontImpl;

class Font {
 public:
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  const FontSpec& spec() const { return spec_; }
  // The family actually used for the font's own glyphs (a stand-in family
  // when the requested face is not available).
  const std::string& familyUsed() const;
  bool isStandIn() const;
  TextMetrics metrics() const;
  // Advance width and line height of one line of text (no line breaking).
  Size measure(StringView16 text) const;

  FontImpl& impl() const { return *impl_; }

 private:
  friend std::shared_ptr<const Font> createFont(const FontSpec& spec);
  Font(FontSpec spec, std::unique_ptr<FontImpl> impl);
  FontSpec spec_;
  std::unique_ptr<FontImpl> impl_;
};
using FontPtr = std::shared_ptr<const Font>;

// Never null while any font is installed: a missing face gets the stand-in.
// nullptr only when no usable font file exists at all.
FontPtr createFont(const FontSpec& spec);
// The font device contexts start with (16-pixel stand-in face). Not counted
// as a live object: it lives for the process.
FontPtr defaultFont();

// Makes the faces of a font file available to createFont by their family
// names, for this process. Adding the same file again counts up; each add
// needs one remove. E_FILE_NOT_FOUND / E_DATA_INVALID when it cannot be read.
Status addFontResource(const std::filesystem::path& hostPath);
Status removeFontResource(const std::filesystem::path& hostPath);
// The same for device paths (the skin font); E_PATH_NOT_FOUND when unmapped.
Status addDeviceFontResource(StringView16 devicePath);
Status removeDeviceFontResource(StringView16 devicePath);

}  // namespace plat
