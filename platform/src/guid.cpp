// GUID text form and hashing.
#include "plat/guid.h"

#include <cstdio>

namespace plat {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads digits hex digits at text[pos]; nullopt on any non-hex character.
std::optional<uint64_t> hexField(std::string_view text, size_t pos, size_t digits) {
  uint64_t v = 0;
  for (size_t i = 0; i < digits; ++i) {
    const int d = hexValue(text[pos + i]);
    if (d < 0) return std::nullopt;
    v = (v << 4) | static_cast<uint64_t>(d);
  }
  return v;
}

uint64_t mix(uint64_t x) {
  // A 64-bit finaliser: every input bit affects every output bit.
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDull;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ull;
  x ^= x >> 33;
  return x;
}

}  // namespace

std::optional<Guid> parseGuid(std::string_view text) {
  if (text.size() == 38) {
    if (text.front() != '{' || text.back() != '}') return std::nullopt;
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return std::nullopt;
  if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') return std::nullopt;
  Guid g;
  const auto d1 = hexField(text, 0, 8), d2 = hexField(text, 9, 4), d3 = hexField(text, 14, 4);
  if (!d1 || !d2 || !d3) return std::nullopt;
  g.data1 = static_cast<uint32_t>(*d1);
  g.data2 = static_cast<uint16_t>(*d2);
  g.data3 = static_cast<uint16_t>(*d3);
  static constexpr size_t kByteAt[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  for (size_t i = 0; i < 8; ++i) {
    const auto b = hexField(text, kByteAt[i], 2);
    if (!b) return std::nullopt;
    g.data4[i] = static_cast<uint8_t>(*b);
  }
  return g;
}

std::string formatGuid(const Guid& g) {
  char buffer[39];
  std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(g.data1),
                static_cast<unsigned>(g.data2), static_cast<unsigned>(g.data3), g.data4[0], g.data4[1], g.data4[2],
                g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return buffer;
}

size_t GuidHash::operator()(const Guid& g) const noexcept {
  uint64_t high = (static_cast<uint64_t>(g.data1) << 32) | (static_cast<uint64_t>(g.data2) << 16) | g.data3;
  uint64_t low = 0;
  for (uint8_t b : g.data4) low = (low << 8) | b;
  return static_cast<size_t>(mix(high ^ mix(low)));
}

}  // namespace plat
