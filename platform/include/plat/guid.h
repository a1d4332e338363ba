// 128-bit identifiers for interfaces and classes, with the usual text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  friend constexpr bool operator==(const Guid&, const Guid&) = default;
  friend constexpr auto operator<=>(const Guid&, const Guid&) = default;
};

inline constexpr Guid kNullGuid{};

// Parses the 36-digit form with or without braces, hex digits in either case.
// Anything else (wrong length, stray characters, missing dashes) gives nullopt.
std::optional<Guid> parseGuid(std::string_view text);

// Formats as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with upper-case digits.
std::string formatGuid(const Guid& g);

// Compile-time construction from the text form for identifier tables; a
// malformed literal fails to compile.
consteval Guid guidLiteral(const char* s);

struct GuidHash {
  size_t operator()(const Guid& g) const noexcept;
};

// ---- implementation of the compile-time literal ----
namespace detail {
consteval int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw "bad hex digit in GUID literal";
}
consteval uint64_t hexField(const char* s, int pos, int digits) {
  uint64_t v = 0;
  for (int i = 0; i < digits; ++i) v = (v << 4) | static_cast<uint64_t>(hexDigit(s[pos + i]));
  return v;
}
}  // namespace detail

consteval Guid guidLiteral(const char* s) {
  int o = (s[0] == '{') ? 1 : 0;
  if (s[o + 8] != '-' || s[o + 13] != '-' || s[o + 18] != '-' || s[o + 23] != '-')
    throw "bad GUID literal";
  Guid g;
  g.data1 = static_cast<uint32_t>(detail::hexField(s, o, 8));
  g.data2 = static_cast<uint16_t>(detail::hexField(s, o + 9, 4));
  g.data3 = static_cast<uint16_t>(detail::hexField(s, o + 14, 4));
  g.data4[0] = static_cast<uint8_t>(detail::hexField(s, o + 19, 2));
  g.data4[1] = static_cast<uint8_t>(detail::hexField(s, o + 21, 2));
  for (int i = 0; i < 6; ++i) g.data4[2 + i] = static_cast<uint8_t>(detail::hexField(s, o + 24 + 2 * i, 2));
  return g;
}

}  // namespace plat
