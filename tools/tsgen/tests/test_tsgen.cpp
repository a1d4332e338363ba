#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tsgen.h"

namespace tsgen {
namespace {

TEST(Crc32Mpeg, CheckValueAndSectionResidue) {
  const char* text = "123456789";
  EXPECT_EQ(crc32Mpeg(reinterpret_cast<const uint8_t*>(text), 9), 0x0376E6E7u);
  const Bytes pat = makePat(1, {{1, 0x100}});
  EXPECT_EQ(crc32Mpeg(pat.data(), pat.size()), 0u) << "a section with its CRC_32 checks to 0";
}

TEST(UtcTime, EncodesMjdAndBcd) {
  const auto t = encodeUtcTime({1993, 10, 13, 12, 45, 0});
  EXPECT_EQ(t, (std::array<uint8_t, 5>{0xC0, 0x79, 0x12, 0x45, 0x00}));
  EXPECT_EQ(bcdHhmm(90), 0x0130);
}

// Checks the packets of one PID: joins their payloads (without pointer_fields),
// cuts the result into sections by section_length, and checks that every packet
// in which a section starts has payload_unit_start with a pointer_field naming
// the first such start.
std::vector<Bytes> sectionsOf(const Bytes& ts, size_t packetSize, uint16_t pid) {
  Bytes stream;
  struct Span {
    size_t begin, end;
    bool unitStart;
    size_t claimed;
  };
  std::vector<Span> spans;
  for (size_t pos = 0; pos + 188 <= ts.size(); pos += packetSize) {
    const uint8_t* p = ts.data() + pos;
    EXPECT_EQ(p[0], 0x47);
    if (((p[1] & 0x1F) << 8 | p[2]) != pid) continue;
    const bool unitStart = (p[1] & 0x40) != 0;
    const uint8_t* payload = p + 4 + (unitStart ? 1 : 0);
    const size_t size = unitStart ? 183 : 184;
    spans.push_back({stream.size(), stream.size() + size, unitStart, stream.size() + (unitStart ? p[4] : 0)});
    stream.insert(stream.end(), payload, payload + size);
  }
  std::vector<Bytes> out;
  std::vector<size_t> starts;
  size_t at = 0;
  while (at + 3 <= stream.size() && stream[at] != 0xFF) {
    const size_t total = 3 + ((stream[at + 1] & 0x0F) << 8 | stream[at + 2]);
    starts.push_back(at);
    out.emplace_back(stream.begin() + static_cast<long>(at),
                     stream.begin() + static_cast<long>(std::min(at + total, stream.size())));
    at += total;
  }
  for (const Span& span : spans) {
    auto first = std::find_if(starts.begin(), starts.end(), [&](size_t s) { return s >= span.begin && s < span.end; });
    if (first == starts.end()) {
      EXPECT_FALSE(span.unitStart);
    } else {
      EXPECT_TRUE(span.unitStart);
      EXPECT_EQ(span.claimed, *first);
    }
  }
  return out;
}

TEST(TsWriter, SplitsSectionsWithPointerFieldsWhereverTheyStart) {
  // Sizes put section starts at every offset near the packet end, including the
  // last payload byte of a packet without pointer_field.
  for (size_t first = 170; first <= 190; ++first) {
    TsWriter w;
    Bytes a(first, 0xA1), b(30, 0xB2);
    a[0] = 0x80;
    a[1] = static_cast<uint8_t>((first - 3) >> 8);
    a[2] = static_cast<uint8_t>(first - 3);
    b[0] = 0x81;
    b[1] = 0;
    b[2] = 27;
    w.writeSections(0x100, {a, b});
    const auto parts = sectionsOf(w.bytes(), 188, 0x100);
    ASSERT_EQ(parts.size(), 2u) << first;
    EXPECT_EQ(parts[0], a) << first;
    EXPECT_EQ(parts[1], b) << first;
  }
}

TEST(TsWriter, PaddedPacketsAndContinuity) {
  TsWriter w(204, 0x47);
  w.writeSection(0x20, makePat(1, {}));
  w.injectContinuityError(0x20);
  w.writeSection(0x20, makePat(1, {}));
  ASSERT_EQ(w.bytes().size(), 2u * 204);
  EXPECT_EQ(w.bytes()[188], 0x47);
  EXPECT_EQ(w.bytes()[203], 0x47);
  EXPECT_EQ(w.bytes()[3] & 0x0F, 0);
  EXPECT_EQ(w.bytes()[204 + 3] & 0x0F, 2) << "one counter value skipped";
}

TEST(TsWriter, PcrPacketCarriesBaseAndExtension) {
  TsWriter w;
  const uint64_t base = (1ull << 33) - 5;
  w.writePcrPacket(0x100, base, 0x155, true);
  const uint8_t* p = w.bytes().data();
  EXPECT_EQ(p[3] & 0x30, 0x20);
  EXPECT_EQ(p[4], 183);
  EXPECT_EQ(p[5], 0x90);
  const uint64_t gotBase = static_cast<uint64_t>(p[6]) << 25 | static_cast<uint64_t>(p[7]) << 17 |
                           static_cast<uint64_t>(p[8]) << 9 | static_cast<uint64_t>(p[9]) << 1 | p[10] >> 7;
  EXPECT_EQ(gotBase, base);
  EXPECT_EQ((p[10] & 1) << 8 | p[11], 0x155);
}

TEST(Ipv4Udp, HeaderChecksumAndLengths) {
  const Bytes d = makeIpv4Udp({10, 0, 0, 1}, {239, 1, 2, 3}, 1234, 5000, {1, 2, 3});
  ASSERT_EQ(d.size(), 31u);
  uint32_t sum = 0;
  for (size_t i = 0; i < 20; i += 2) sum += static_cast<uint32_t>(d[i] << 8 | d[i + 1]);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  EXPECT_EQ(sum, 0xFFFFu);
  EXPECT_EQ(d[24] << 8 | d[25], 11);
  EXPECT_EQ(parseIpv4("239.1.2.3"), (std::array<uint8_t, 4>{239, 1, 2, 3}));
  EXPECT_FALSE(parseIpv4("239.1.2").has_value());
  EXPECT_FALSE(parseIpv4("239.1.2.256").has_value());
}

}  // namespace
}  // namespace tsgen
