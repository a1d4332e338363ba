#include "skin_values.h"

#include <cctype>
#include <limits>

namespace tunora::skin {
namespace {

int32_t saturate(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Reads an optional sign and digits in `base` from text[pos]; returns the
// saturated value and moves pos past what was read. `digits` tells whether
// any digit was seen.
int64_t readDigits(std::string_view text, size_t& pos, int base, bool* digits) {
  int64_t value = 0;
  bool any = false;
  while (pos < text.size()) {
    const char c = text[pos];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else break;
    if (d >= base) break;
    any = true;
    if (value < (int64_t{1} << 40)) value = value * base + d;  // far beyond 32 bits: stop growing
    ++pos;
  }
  if (digits) *digits = any;
  return value;
}

// One signed number with the strtol rules: blanks, sign, then base 10, or
// automatic base when `autoBase`.
int64_t readNumber(std::string_view text, size_t& pos, bool autoBase, bool* digits) {
  while (pos < text.size() && isBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  int base = 10;
  if (autoBase && pos < text.size() && text[pos] == '0') {
    if (pos + 2 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
        std::isxdigit(static_cast<unsigned char>(text[pos + 2]))) {
      base = 16;
      pos += 2;
    } else {
      base = 8;
    }
  }
  const int64_t v = readDigits(text, pos, base, digits);
  return negative ? -v : v;
}

bool isRectSeparator(char c) { return c == ' ' || c == ',' || c == '\t' || c == ':' || c == ';'; }
bool isFaceEnd(char c) { return c == ',' || c == '\t' || c == ':' || c == ';'; }

}  // namespace

int32_t parseNumber(std::string_view text) {
  size_t pos = 0;
  return saturate(readNumber(text, pos, false, nullptr));
}

plat::Rect parseRect(std::string_view text) {
  int64_t v[4] = {0, 0, 0, 0};
  size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    while (pos < text.size() && isRectSeparator(text[pos])) ++pos;
    if (pos >= text.size()) break;
    // The token runs to the next separator; a token that is not a number
    // counts as 0, as strtol would read it.
    size_t end = pos;
    while (end < text.size() && !isRectSeparator(text[end])) ++end;
    size_t p = 0;
    v[i] = saturate(readNumber(text.substr(pos, end - pos), p, true, nullptr));
    pos = end;
  }
  return plat::Rect{saturate(v[0]), saturate(v[1]), saturate(v[0] + v[2]), saturate(v[1] + v[3])};
}

std::optional<Rgb> parseColor(std::string_view text) {
  int64_t v[3];
  size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != ',') return std::nullopt;
      ++pos;
    }
    bool digits = false;
    v[i] = readNumber(text, pos, false, &digits);
    if (!digits) return std::nullopt;
  }
  return Rgb{static_cast<uint8_t>(v[0] & 0xFF), static_cast<uint8_t>(v[1] & 0xFF),
             static_cast<uint8_t>(v[2] & 0xFF)};
}

std::optional<FontValue> parseFont(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && !isFaceEnd(text[pos])) ++pos;
  if (pos == 0 || pos > kMaxFaceBytes) return std::nullopt;
  FontValue font;
  font.face.assign(text.substr(0, pos));
  int32_t* fields[3] = {&font.height, &font.weight, &font.charset};
  int read = 1;
  for (int32_t* field : fields) {
    if (pos >= text.size() || text[pos] != ',') break;
    ++pos;
    bool digits = false;
    const int64_t v = readNumber(text, pos, false, &digits);
    if (!digits) break;
    *field = saturate(v);
    ++read;
  }
  if (read < 3) return std::nullopt;
  return font;
}

}  // namespace tunora::skin
