#include <gtest/gtest.h>

#include "si/descriptors.h"
#include "test_helpers.h"

namespace tapfeed::si {
namespace {

using testing::Bytes;

Bytes loopOf(const std::vector<tsgen::Descriptor>& list) { return tsgen::encodeDescriptors(list); }

int parse(const Bytes& loop, uint32_t spaces, DescriptorList& out) {
  return parseDescriptorLoop(loop.data(), loop.size(), spaces, out);
}

TEST(DescriptorLoop, EmptyLoopGivesEmptyList) {
  DescriptorList list;
  EXPECT_EQ(parseDescriptorLoop(nullptr, 0, kSpaceMpeg, list), 0);
  EXPECT_TRUE(list.empty());
}

TEST(DescriptorLoop, MapsTagsToSpaces) {
  EXPECT_EQ(mapDescriptorTag(0x09, kSpaceMpeg | kSpaceDvb), descriptorId(kSpaceMpeg, 0x09));
  EXPECT_EQ(mapDescriptorTag(0x09, kSpaceInt | kSpaceDvb), descriptorId(kSpaceInt, 0x09));
  EXPECT_EQ(mapDescriptorTag(0x52, kSpaceMpeg | kSpaceDvb), kIdStreamIdentifier);
  EXPECT_EQ(mapDescriptorTag(0x52, kSpaceMpeg), 0u);
  EXPECT_EQ(mapDescriptorTag(0x80, kSpaceMpeg | kSpaceDvb | kSpaceInt), 0u);
}

TEST(DescriptorLoop, SkipsUnknownAndUnregisteredTagsKeepingOrder) {
  const Bytes loop = loopOf({{0x80, {1, 2, 3}},                       // user private: skipped
                             tsgen::streamIdentifierDescriptor(7),      // DVB 0x52
                             {0x01, {9}},                               // MPEG 0x01 is not registered
                             tsgen::iso639LanguageDescriptor("jpn", 0)});
  DescriptorList list;
  ASSERT_EQ(parse(loop, kSpaceMpeg | kSpaceDvb, list), 2);
  EXPECT_EQ(list[0].id, kIdStreamIdentifier);
  EXPECT_EQ(list[0].as<StreamIdentifierFields>()->componentTag, 7);
  ASSERT_NE(list[1].as<Iso639LanguageFields>(), nullptr);
  ASSERT_EQ(list[1].as<Iso639LanguageFields>()->entries.size(), 1u);
  EXPECT_EQ(std::string(list[1].as<Iso639LanguageFields>()->entries[0].language.data(), 3), "jpn");
}

TEST(DescriptorLoop, DescriptorRunningPastTheLoopFailsAndLeavesNothing) {
  Bytes loop = loopOf({tsgen::streamIdentifierDescriptor(1), {0x52, {1, 2, 3}}});
  loop.pop_back();
  DescriptorList list;
  EXPECT_EQ(parse(loop, kSpaceDvb, list), -1);
  EXPECT_TRUE(list.empty());
  const Bytes lone{0x52};  // a tag without its length byte
  EXPECT_EQ(parse(lone, kSpaceDvb, list), -1);
}

TEST(DescriptorLoop, UnknownRegisteredIdKeepsItsBody) {
  const Bytes loop = loopOf({{0x4D, {'j', 'p', 'n', 1, 'A', 0}}});
  DescriptorList list;
  ASSERT_EQ(parse(loop, kSpaceDvb, list), 1);
  const auto* raw = list[0].as<RawFields>();
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw->body, (Bytes{'j', 'p', 'n', 1, 'A', 0}));
}

// Descriptors too short for their fixed fields are dropped (the loop goes on),
// whether or not they are the last of the loop.
struct ShortCase {
  const char* name;
  uint32_t spaces;
  tsgen::Descriptor descriptor;
  bool kept;
};

class DescriptorMinimumLength : public ::testing::TestWithParam<ShortCase> {};

TEST_P(DescriptorMinimumLength, DropsOrKeeps) {
  const ShortCase& c = GetParam();
  for (bool last : {false, true}) {
    std::vector<tsgen::Descriptor> items{c.descriptor};
    if (!last) items.push_back(tsgen::streamIdentifierDescriptor(3));
    DescriptorList list;
    const int kept = parse(loopOf(items), c.spaces | kSpaceDvb, list);
    const int expected = (c.kept ? 1 : 0) + (last ? 0 : 1);
    EXPECT_EQ(kept, expected) << c.name << (last ? " (last)" : " (not last)");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DescriptorMinimumLength,
    ::testing::Values(
        ShortCase{"target_IP_address empty", kSpaceInt, {0x09, {}}, false},
        ShortCase{"target_IP_address 3 bytes", kSpaceInt, {0x09, {0xFF, 0xFF, 0xFF}}, false},
        ShortCase{"target_IP_address mask only", kSpaceInt, {0x09, {0xFF, 0xFF, 0xFF, 0xFF}}, true},
        ShortCase{"platform_name 2 bytes", kSpaceInt, {0x0C, {'j', 'p'}}, false},
        ShortCase{"platform_name empty", kSpaceInt, {0x0C, {}}, false},
        ShortCase{"provider_name 2 bytes", kSpaceInt, {0x0D, {'j', 'p'}}, false},
        ShortCase{"provider_name language only", kSpaceInt, {0x0D, {'j', 'p', 'n'}}, true},
        ShortCase{"stream_location 8 bytes", kSpaceInt, {0x13, Bytes(8, 1)}, false},
        ShortCase{"stream_location 9 bytes", kSpaceInt, {0x13, Bytes(9, 1)}, true},
        ShortCase{"stream_identifier empty", kSpaceMpeg, {0x52, {}}, false},
        ShortCase{"data_broadcast_id 1 byte", kSpaceMpeg, {0x66, {0x00}}, false},
        ShortCase{"data_broadcast_id 0x000B without length", kSpaceMpeg, {0x66, {0x00, 0x0B}}, false},
        ShortCase{"data_broadcast_id platform data past the end", kSpaceMpeg,
                  {0x66, {0x00, 0x0B, 10, 0, 0, 1, 1, 0xE0}}, false},
        ShortCase{"data_broadcast_id one platform", kSpaceMpeg, {0x66, {0x00, 0x0B, 5, 0, 0, 1, 1, 0xE0}}, true},
        ShortCase{"target_IP_slash empty", kSpaceInt, {0x0F, {}}, true}),
    [](const ::testing::TestParamInfo<ShortCase>& info) {
      std::string n = info.param.name;
      for (char& ch : n) {
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return n;
    });

TEST(Descriptors, TargetIpAddressWithMaskOnlyHasNoFirstAddress) {
  DescriptorList list;
  ASSERT_EQ(parse(loopOf({tsgen::targetIpAddressDescriptor(0xFFFFFF00, {})}), kSpaceInt, list), 1);
  const auto* f = list[0].as<TargetIpAddressFields>();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->mask, 0xFFFFFF00u);
  EXPECT_FALSE(f->firstAddress().has_value());

  ASSERT_EQ(parse(loopOf({tsgen::targetIpAddressDescriptor(0, {{224, 1, 2, 3}, {224, 1, 2, 4}})}), kSpaceInt, list), 1);
  EXPECT_EQ(list[0].as<TargetIpAddressFields>()->firstAddress(), (std::array<uint8_t, 4>{224, 1, 2, 3}));
}

TEST(Descriptors, TargetIpSlashNeedsWholeEntries) {
  DescriptorList list;
  ASSERT_EQ(parse(loopOf({{0x0F, {224, 0, 0, 1, 32, 224, 0}}}), kSpaceInt, list), 1);
  EXPECT_TRUE(list[0].as<TargetIpSlashFields>()->addresses.empty());
  ASSERT_EQ(parse(loopOf({tsgen::targetIpSlashDescriptor({{{224, 0, 0, 1}, 32}, {{239, 1, 1, 1}, 24}})}), kSpaceInt,
                  list),
            1);
  const auto* f = list[0].as<TargetIpSlashFields>();
  ASSERT_EQ(f->addresses.size(), 2u);
  EXPECT_EQ(f->addresses[1], (std::array<uint8_t, 4>{239, 1, 1, 1}));
  EXPECT_EQ(f->slashMasks, (Bytes{32, 24}));
}

TEST(Descriptors, DataBroadcastIdPlatformsAndSelector) {
  DescriptorList list;
  ASSERT_EQ(parse(loopOf({tsgen::dataBroadcastIdIpMacDescriptor({{0x123456, 1, 3}, {0x000042, 2, 31}})}), kSpaceDvb,
                  list),
            1);
  const auto* f = list[0].as<DataBroadcastIdFields>();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->dataBroadcastId, 0x000B);
  EXPECT_EQ(f->platformIdDataLength, 10);
  ASSERT_EQ(f->platforms.size(), 2u);
  EXPECT_EQ(f->platforms[0].platformId, 0x123456u);
  EXPECT_EQ(f->platforms[0].actionType, 1);
  EXPECT_TRUE(f->platforms[0].intVersioningFlag);
  EXPECT_EQ(f->platforms[0].intVersion, 3);
  EXPECT_EQ(f->platforms[1].intVersion, 31);

  ASSERT_EQ(parse(loopOf({tsgen::dataBroadcastIdDescriptor(0x0005, {1, 2})}), kSpaceDvb, list), 1);
  EXPECT_EQ(list[0].as<DataBroadcastIdFields>()->selector, (Bytes{1, 2}));
}

TEST(Descriptors, LocalTimeOffsetEntriesInOrder) {
  DescriptorList list;
  const tsgen::UtcTime change{2026, 3, 29, 1, 0, 0};
  ASSERT_EQ(parse(loopOf({tsgen::localTimeOffsetDescriptor(
                    {{"GBR", 0, 0, change, 60}, {"JPN", 3, -90, change, 540}})}),
                  kSpaceDvb, list),
            1);
  const auto* f = list[0].as<LocalTimeOffsetFields>();
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->entries.size(), 2u);
  const auto& last = f->entries.back();
  EXPECT_EQ(std::string(last.countryCode.data(), 3), "JPN");
  EXPECT_EQ(last.countryRegionId, 3);
  EXPECT_TRUE(last.polarityNegative);
  EXPECT_EQ(last.localTimeOffset, 0x0130);
  EXPECT_EQ(last.nextTimeOffset, 0x0900);
}

TEST(Descriptors, PlatformNamesAndStreamLocation) {
  DescriptorList list;
  ASSERT_EQ(parse(loopOf({tsgen::platformNameDescriptor("jpn", "Ondo"),
                          tsgen::platformProviderNameDescriptor("eng", "Norvale"),
                          tsgen::streamLocationDescriptor(1, 2, 3, 0x0400, 0x40)}),
                  kSpaceInt | kSpaceDvb, list),
            3);
  EXPECT_EQ(list[0].as<PlatformNameFields>()->text(), "Ondo");
  EXPECT_EQ(list[1].id, kIdPlatformProviderName);
  EXPECT_EQ(std::string(list[1].as<PlatformNameFields>()->language.data(), 3), "eng");
  const auto* loc = list[2].as<StreamLocationFields>();
  ASSERT_NE(loc, nullptr);
  EXPECT_EQ(loc->serviceId, 0x0400);
  EXPECT_EQ(loc->componentTag, 0x40);
  EXPECT_EQ(findLastDescriptor(list, kIdPlatformName), &list[0]);
  EXPECT_EQ(findFirstDescriptor(list, kIdTargetIpAddress), nullptr);
}

TEST(Descriptors, IdsWithoutFieldsKeepIdAndLength) {
  DescriptorList list;
  ASSERT_EQ(parse(loopOf({{0x71, {1, 2, 3}}, {0x74, {}}}), kSpaceDvb, list), 2);
  EXPECT_EQ(list[0].length, 3);
  EXPECT_NE(list[0].as<EmptyFields>(), nullptr);
}

}  // namespace
}  // namespace tapfeed::si
