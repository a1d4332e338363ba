#include <gtest/gtest.h>

#include "si/tables.h"
#include "test_helpers.h"

namespace tapfeed::si {
namespace {

using testing::Bytes;

// Rewrites section_length (and the CRC is left as it is: parsers never check it).
void setSectionLength(Bytes& s, size_t sectionLength) {
  s[1] = static_cast<uint8_t>((s[1] & 0xF0) | (sectionLength >> 8 & 0x0F));
  s[2] = static_cast<uint8_t>(sectionLength);
}

std::vector<tsgen::PatProgram> programs(size_t n) {
  std::vector<tsgen::PatProgram> p;
  for (size_t i = 0; i < n; ++i) p.push_back({static_cast<uint16_t>(i + 1), static_cast<uint16_t>(0x100 + i)});
  return p;
}

TEST(Pat, ReadsHeaderAndEntries) {
  const Bytes s = tsgen::makePat(0x7FE1, {{0, 0x10}, {1, 0x1FC8}, {2, 0x1FC9}}, 5);
  Pat pat;
  ASSERT_EQ(parsePat(s.data(), s.size(), pat), 8 + 3 * 4);
  EXPECT_EQ(pat.transportStreamId, 0x7FE1);
  EXPECT_EQ(pat.versionNumber, 5);
  EXPECT_TRUE(pat.currentNextIndicator);
  EXPECT_TRUE(pat.sectionSyntaxIndicator);
  ASSERT_EQ(pat.entries.size(), 3u);
  EXPECT_EQ(pat.entries[0].programNumber, 0);
  EXPECT_EQ(pat.entries[0].pid, 0x10);
  EXPECT_EQ(pat.entries[2].pid, 0x1FC9);
}

TEST(Pat, EntryCountLimits) {
  Pat pat;
  const Bytes empty = tsgen::makePat(1, {});
  ASSERT_GE(parsePat(empty.data(), empty.size(), pat), 0);
  EXPECT_TRUE(pat.entries.empty());
  const Bytes forty = tsgen::makePat(1, programs(40));
  ASSERT_GE(parsePat(forty.data(), forty.size(), pat), 0);
  ASSERT_EQ(pat.entries.size(), 30u);
  EXPECT_EQ(pat.entries[29].programNumber, 30);
}

struct BadSection {
  const char* name;
  size_t sectionLength;  // written into the header
  size_t givenBytes;     // 0: the whole built section
};

class PatRefuses : public ::testing::TestWithParam<BadSection> {};
TEST_P(PatRefuses, Malformed) {
  Bytes s = tsgen::makePat(1, programs(260));  // a long buffer to play with
  const auto& c = GetParam();
  setSectionLength(s, c.sectionLength);
  Pat pat;
  EXPECT_EQ(parsePat(s.data(), c.givenBytes ? c.givenBytes : s.size(), pat), -1) << c.name;
  EXPECT_TRUE(pat.entries.empty());
}
INSTANTIATE_TEST_SUITE_P(Table, PatRefuses,
                         ::testing::Values(BadSection{"length_1022", 1022, 0}, BadSection{"length_8", 8, 0},
                                           BadSection{"length_0", 0, 0},
                                           BadSection{"beyond_buffer", 100, 60},
                                           BadSection{"too_short_for_header", 9, 2}));

TEST(Pat, WrongTableIdIsRefused) {
  Bytes s = tsgen::makePat(1, programs(2));
  s[0] = 0x02;
  Pat pat;
  EXPECT_EQ(parsePat(s.data(), s.size(), pat), -1);
}

Bytes samplePmt() {
  return tsgen::makePmt(
      0x0400, 0x0111, {{0x09, {0x00, 0x05, 0xE1, 0x00}}},
      {{0x1B, 0x0111, {tsgen::streamIdentifierDescriptor(0x00), {0x80, {1, 2}}}},
       {0x0F, 0x0112, {tsgen::streamIdentifierDescriptor(0x10), tsgen::iso639LanguageDescriptor("jpn", 0)}},
       {0x0D, 0x0113, {tsgen::dataBroadcastIdIpMacDescriptor({{0x000123, 1, 0}})}}});
}

TEST(Pmt, ReadsStreamsAndDescriptors) {
  const Bytes s = samplePmt();
  Pmt pmt;
  ASSERT_EQ(parsePmt(s.data(), s.size(), kSpaceDvb, pmt), 0x0111);
  EXPECT_EQ(pmt.programNumber, 0x0400);
  EXPECT_EQ(pmt.pcrPid, 0x0111);
  EXPECT_EQ(pmt.programDescriptors.size(), 1u);  // MPEG CA descriptor kept raw
  ASSERT_EQ(pmt.streams.size(), 3u);
  EXPECT_EQ(pmt.streams[0].descriptors.size(), 1u);  // tag 0x80 skipped
  EXPECT_EQ(pmt.streams[1].streamType, 0x0F);
  EXPECT_EQ(pmt.streams[1].descriptors.size(), 2u);
  EXPECT_EQ(pmt.streams[2].descriptors[0].id, kIdDataBroadcastId);
  EXPECT_EQ(pmt.crc32, static_cast<uint32_t>(s[s.size() - 4]) << 24 | static_cast<uint32_t>(s[s.size() - 3]) << 16 |
                           static_cast<uint32_t>(s[s.size() - 2]) << 8 | s[s.size() - 1]);
  // Without the DVB space, DVB descriptors are not kept.
  ASSERT_EQ(parsePmt(s.data(), s.size(), 0, pmt), 0x0111);
  EXPECT_TRUE(pmt.streams[0].descriptors.empty());
}

TEST(Pmt, NoStreamsGivesZero) {
  const Bytes s = tsgen::makePmt(1, 0x1FFF, {}, {});
  Pmt pmt;
  EXPECT_EQ(parsePmt(s.data(), s.size(), kSpaceDvb, pmt), 0);
}

TEST(Pmt, DescriptorPastEsInfoLoopFailsTheTable) {
  Bytes s = tsgen::makePmt(1, 0x100, {}, {{0x1B, 0x100, {tsgen::streamIdentifierDescriptor(1)}}});
  // ES_info_length stays 3 but the descriptor claims 2 bytes of body.
  s[12 + 5 + 1] = 2;
  Pmt pmt;
  EXPECT_EQ(parsePmt(s.data(), s.size(), kSpaceDvb, pmt), -1);
  EXPECT_TRUE(pmt.streams.empty());
}

TEST(Pmt, LengthsMustFitTheSection) {
  const Bytes good = samplePmt();
  Pmt pmt;
  {
    Bytes s = good;  // program_info_length far beyond the section
    s[10] = 0xF3;
    s[11] = 0xFF;
    EXPECT_EQ(parsePmt(s.data(), s.size(), kSpaceDvb, pmt), -1);
  }
  {
    Bytes t = tsgen::makePmt(1, 0x100, {}, {{0x1B, 0x100, {}}});  // ES_info_length past the CRC
    t[12 + 3] = 0xF0;
    t[12 + 4] = 0x10;
    EXPECT_EQ(parsePmt(t.data(), t.size(), kSpaceDvb, pmt), -1);
  }
  {
    Bytes s = good;  // section_length beyond the bytes given
    EXPECT_EQ(parsePmt(s.data(), s.size() - 1, kSpaceDvb, pmt), -1);
    setSectionLength(s, 12);
    EXPECT_EQ(parsePmt(s.data(), s.size(), kSpaceDvb, pmt), -1);
  }
}

Bytes sampleInt(uint32_t platformId = 0x000123) {
  return tsgen::makeInt(
      platformId, 1, 0, {tsgen::platformNameDescriptor("jpn", "Ondo"), tsgen::platformProviderNameDescriptor("jpn", "Nv")},
      {{{tsgen::targetIpAddressDescriptor(0xFFFFFFFF, {{224, 0, 1, 1}})},
        {tsgen::streamLocationDescriptor(1, 1, 1, 0x0400, 0x40)}},
       {{tsgen::targetIpSlashDescriptor({{{239, 0, 0, 1}, 32}})},
        {tsgen::streamLocationDescriptor(1, 1, 1, 0x0401, 0x41)}}});
}

TEST(Int, ReadsPlatformLoopAndPairsInSectionOrder) {
  const Bytes s = sampleInt();
  IntTable t;
  ASSERT_EQ(parseInt(s.data(), s.size(), t), 0);
  EXPECT_EQ(t.platformId, 0x000123u);
  EXPECT_EQ(t.actionType, 1);
  EXPECT_EQ(t.platformLoop.descriptors.size(), 2u);
  ASSERT_EQ(t.pairs.size(), 2u);
  EXPECT_EQ(t.pairs[0].target.descriptors[0].id, kIdTargetIpAddress);
  EXPECT_EQ(t.pairs[1].target.descriptors[0].id, kIdTargetIpSlash);
  EXPECT_EQ(t.pairs[1].operational.descriptors[0].as<StreamLocationFields>()->serviceId, 0x0401);
}

TEST(Int, ReservedBitsBeforePlatformLoopMustBeUniform) {
  Bytes s = sampleInt();
  s[12] = static_cast<uint8_t>(0x50 | (s[12] & 0x0F));
  IntTable t;
  EXPECT_EQ(parseInt(s.data(), s.size(), t), -1);
  s[12] = static_cast<uint8_t>(s[12] & 0x0F);
  EXPECT_EQ(parseInt(s.data(), s.size(), t), 0);
}

TEST(Int, LoopLengthsMustFitBeforeCrc) {
  IntTable t;
  {
    Bytes s = sampleInt();  // platform loop length running into the CRC
    const size_t sectionLength = s.size() - 3;
    const size_t tooLong = sectionLength - 1 - 14 + 1;
    s[12] = static_cast<uint8_t>(0xF0 | (tooLong >> 8));
    s[13] = static_cast<uint8_t>(tooLong);
    EXPECT_EQ(parseInt(s.data(), s.size(), t), -1);
  }
  {
    Bytes s = sampleInt();  // the section is longer than the bytes given
    EXPECT_EQ(parseInt(s.data(), s.size() - 2, t), -1);
  }
  {
    Bytes s = tsgen::makeInt(1, 1, 0, {}, {{{}, {}}});
    s[14] = 0xF0;
    s[15] = 0x05;  // target loop of 5 bytes where there are none
    EXPECT_EQ(parseInt(s.data(), s.size(), t), -1);
  }
}

TEST(UtcTime, ConvertsTheStandardExample) {
  const uint8_t utc[5] = {0xC0, 0x79, 0x12, 0x45, 0x00};
  const auto t = convertUtcTime(utc);
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(*t, (CalendarTime{1993, 10, 13, 12, 45, 0}));
}

TEST(UtcTime, RoundTripsDatesAcrossYears) {
  for (int year : {1999, 2000, 2024, 2026, 2037}) {
    for (int month = 1; month <= 12; ++month) {
      for (int day : {1, 28}) {
        const auto bytes = tsgen::encodeUtcTime({year, month, day, 23, 59, 59});
        const auto t = convertUtcTime(bytes.data());
        ASSERT_TRUE(t.has_value()) << year << "-" << month << "-" << day;
        EXPECT_EQ(*t, (CalendarTime{year, month, day, 23, 59, 59}));
      }
    }
  }
}

struct BadTime {
  const char* name;
  uint8_t utc[5];
};
class UtcTimeRefuses : public ::testing::TestWithParam<BadTime> {};
TEST_P(UtcTimeRefuses, Invalid) { EXPECT_FALSE(convertUtcTime(GetParam().utc).has_value()) << GetParam().name; }
INSTANTIATE_TEST_SUITE_P(Table, UtcTimeRefuses,
                         ::testing::Values(BadTime{"hour_24", {0xC0, 0x79, 0x24, 0x00, 0x00}},
                                           BadTime{"bcd_digit_A", {0xC0, 0x79, 0x1A, 0x00, 0x00}},
                                           BadTime{"minute_60", {0xC0, 0x79, 0x12, 0x60, 0x00}},
                                           BadTime{"second_digit_F", {0xC0, 0x79, 0x12, 0x00, 0xF0}},
                                           BadTime{"mjd_zero", {0x00, 0x00, 0x12, 0x00, 0x00}},
                                           BadTime{"mjd_before_1900_march", {0x3A, 0xE0, 0x00, 0x00, 0x00}}));

TEST(Tdt, ParsesAndRefusesBadTimes) {
  Bytes s = tsgen::makeTdt({2026, 12, 11, 15, 4, 5});
  Tdt t;
  ASSERT_EQ(parseTdt(s.data(), s.size(), t), 8);
  EXPECT_EQ(t.tableId, 0x70);
  EXPECT_EQ(t.time, (CalendarTime{2026, 12, 11, 15, 4, 5}));
  EXPECT_EQ(parseTdt(s.data(), 7, t), -1);
  s[5] = 0x25;  // hour 25
  EXPECT_EQ(parseTdt(s.data(), s.size(), t), -1);
}

TEST(Tot, ReadsTheLocalTimeOffsetLoop) {
  const Bytes s = tsgen::makeTot({2026, 12, 11, 15, 4, 5},
                                 {tsgen::localTimeOffsetDescriptor({{"JPN", 0, 540, {2026, 1, 1, 0, 0, 0}, 540}})});
  Tot t;
  ASSERT_EQ(parseTot(s.data(), s.size(), t), static_cast<int>(s.size()));
  EXPECT_EQ(t.time.hour, 15);
  ASSERT_EQ(t.descriptors.size(), 1u);
  EXPECT_EQ(t.descriptors[0].as<LocalTimeOffsetFields>()->entries[0].localTimeOffset, 0x0900);
}

TEST(Tot, ParsesALongDescriptorLoop) {
  std::vector<tsgen::Descriptor> many;
  for (int i = 0; i < 20; ++i) many.push_back({0x4A, Bytes(13, static_cast<uint8_t>(i))});  // 20 x 15 bytes
  const Bytes s = tsgen::makeTot({2026, 1, 2, 3, 4, 5}, many);
  Tot t;
  ASSERT_EQ(parseTot(s.data(), s.size(), t), static_cast<int>(s.size()));
  EXPECT_EQ(t.descriptorsLoopLength, 300);
  EXPECT_EQ(t.descriptors.size(), 20u);
}

TEST(Tot, RefusesLoopsAndSectionsThatDoNotFit) {
  const Bytes good = tsgen::makeTot({2026, 1, 2, 3, 4, 5}, {{0x4A, Bytes(13, 1)}});
  Tot t;
  EXPECT_EQ(parseTot(good.data(), 9, t), -1);
  EXPECT_EQ(parseTot(good.data(), good.size() - 1, t), -1);
  Bytes s = good;
  s[9] = static_cast<uint8_t>(s[9] + 2);  // loop longer than the section
  EXPECT_EQ(parseTot(s.data(), s.size(), t), -1);
  s = good;
  s[11] = 40;  // descriptor length past the loop
  EXPECT_EQ(parseTot(s.data(), s.size(), t), -1);
  s = good;
  s[6] = 0x99;  // minute 99
  EXPECT_EQ(parseTot(s.data(), s.size(), t), -1);
}

}  // namespace
}  // namespace tapfeed::si
