// GUID parsing, formatting, literals and hashing.
#include "plat/guid.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

constexpr plat::Guid kImaging = plat::guidLiteral("{327ABDA8-072B-11D3-9D7B-0000F81EF32E}");

TEST(Guid, LiteralFields) {
  EXPECT_EQ(kImaging.data1, 0x327ABDA8u);
  EXPECT_EQ(kImaging.data2, 0x072Bu);
  EXPECT_EQ(kImaging.data3, 0x11D3u);
  EXPECT_EQ(kImaging.data4, (std::array<uint8_t, 8>{0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}));
  static_assert(plat::guidLiteral("327abda8-072b-11d3-9d7b-0000f81ef32e") == kImaging);
}

struct ParseCase {
  const char* text;
  bool valid;
};

TEST(Guid, ParseTable) {
  const std::vector<ParseCase> cases = {
      {"{327ABDA8-072B-11D3-9D7B-0000F81EF32E}", true},
      {"327ABDA8-072B-11D3-9D7B-0000F81EF32E", true},
      {"{327abda8-072b-11d3-9d7b-0000f81ef32e}", true},
      {"{327aBdA8-072B-11d3-9D7b-0000F81eF32E}", true},
      {"", false},
      {"{}", false},
      {"{327ABDA8-072B-11D3-9D7B-0000F81EF32E", false},    // missing close brace
      {"327ABDA8-072B-11D3-9D7B-0000F81EF32E}", false},    // missing open brace
      {"(327ABDA8-072B-11D3-9D7B-0000F81EF32E)", false},   // wrong brackets
      {"{327ABDA8-072B-11D3-9D7B-0000F81EF32}", false},    // one digit short
      {"{327ABDA8-072B-11D3-9D7B-0000F81EF32E0}", false},  // one digit long
      {"{327ABDA8072B-11D3-9D7B-0000F81EF32E0}", false},   // dash missing
      {"{327ABDA8-072B-11D3-9D7B0-000F81EF32E}", false},   // dash misplaced
      {"{327ABDA8-072B-11D3-9D7B-0000F81EF32G}", false},   // not hex
      {"{327ABDA8-072B-11D3-9D7B-0000F81EF3 E}", false},   // space
      {"{+27ABDA8-072B-11D3-9D7B-0000F81EF32E}", false},   // sign
      {"{327ABDA8-072B-11D3-9D-B-0000F81EF32E}", false},   // dash inside a field
      {" 327ABDA8-072B-11D3-9D7B-0000F81EF32E ", false},
  };
  for (const ParseCase& c : cases) {
    const std::optional<plat::Guid> g = plat::parseGuid(c.text);
    EXPECT_EQ(g.has_value(), c.valid) << c.text;
    if (g) {
      EXPECT_EQ(*g, kImaging) << c.text;
    }
  }
}

TEST(Guid, FormatIsUpperCaseWithBraces) {
  EXPECT_EQ(plat::formatGuid(kImaging), "{327ABDA8-072B-11D3-9D7B-0000F81EF32E}");
  EXPECT_EQ(plat::formatGuid(plat::kNullGuid), "{00000000-0000-0000-0000-000000000000}");
  const plat::Guid all{0xFFFFFFFFu, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  EXPECT_EQ(plat::formatGuid(all), "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}");
  EXPECT_EQ(plat::parseGuid(plat::formatGuid(all)), all);
}

TEST(Guid, OrderAndHash) {
  plat::Guid a = kImaging, b = kImaging;
  b.data4[7] ^= 1;
  EXPECT_NE(a, b);
  EXPECT_LT(a, b);
  EXPECT_EQ(plat::GuidHash{}(a), plat::GuidHash{}(kImaging));
  // Guids differing in a single bit anywhere hash apart.
  std::unordered_set<size_t> hashes;
  for (int bit = 0; bit < 128; ++bit) {
    plat::Guid g{};
    if (bit < 32) g.data1 = 1u << bit;
    else if (bit < 48) g.data2 = static_cast<uint16_t>(1u << (bit - 32));
    else if (bit < 64) g.data3 = static_cast<uint16_t>(1u << (bit - 48));
    else g.data4[(bit - 64) / 8] = static_cast<uint8_t>(1u << ((bit - 64) % 8));
    hashes.insert(plat::GuidHash{}(g));
  }
  hashes.insert(plat::GuidHash{}(plat::kNullGuid));
  EXPECT_EQ(hashes.size(), 129u);
}

}  // namespace
