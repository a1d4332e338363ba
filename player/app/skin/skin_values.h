// Value syntaxes of skin items: numbers, rectangles, colours and fonts as the
// skin documents write them. Pure functions over the item's text, so every
// syntax rule is testable without a document.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "plat/geometry.h"

namespace tunora::skin {

// The longest face name a font value may carry (bytes of UTF-8); a longer
// face makes the value no font at all rather than a silently cut name.
inline constexpr size_t kMaxFaceBytes = 259;

// Decimal by the C atoi rule: leading blanks, optional sign, digits up to the
// first other character; no digits gives 0. Values beyond 32 bits saturate.
int32_t parseNumber(std::string_view text);

// Four numbers x, y, width, height separated by any run of space, comma, tab,
// colon or semicolon, each with automatic base (0x hex, leading 0 octal);
// a missing number counts as 0. Right and bottom saturate at 32 bits.
plat::Rect parseRect(std::string_view text);

struct Rgb {
  uint8_t red = 0, green = 0, blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};
// Three decimals separated by commas; nullopt unless all three were read.
// Each is kept in 8 bits.
std::optional<Rgb> parseColor(std::string_view text);

struct FontValue {
  std::string face;  // UTF-8, at most kMaxFaceBytes
  int32_t height = 0;
  int32_t weight = 0;
  int32_t charset = 0;
  friend bool operator==(const FontValue&, const FontValue&) = default;
};
// Face name up to the first comma, tab, colon or semicolon, then
// ",height,weight" and an optional ",charset". nullopt with fewer than three
// fields or a face longer than kMaxFaceBytes.
std::optional<FontValue> parseFont(std::string_view text);

}  // namespace tunora::skin
