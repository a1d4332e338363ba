// The time index: PCR scanning rules, sampling of large files, encrypted
// files and the mapping between times and byte offsets.
#include <gtest/gtest.h>

#include "openssl_oracle.h"
#include "stream_fixtures.h"
#include "temp_device.h"
#include "time_index.h"

using namespace tapfeed;

namespace {

uint64_t scanDuration(const fixtures::Bytes& stream, size_t packetSize = 188) {
  PcrIndexScanner scanner(packetSize);
  scanner.scan(stream.data(), stream.size(), 0);
  return scanner.entries().empty() ? 0 : scanner.entries().back().playMs;
}

TEST(PcrIndexScanner, DurationOfKnownSpans) {
  // The reference is chosen when its PID is seen the second time.
  EXPECT_EQ(scanDuration(fixtures::pcrStream(fixtures::evenly(0, 10000, 40), 0x100)), 10000u - 40);
  EXPECT_EQ(scanDuration(fixtures::pcrStream(fixtures::evenly(1000, 3000, 100), 0x100, 2, 204), 204), 1900u);
  EXPECT_EQ(scanDuration(fixtures::pcrStream({500}, 0x100)), 0u);
  EXPECT_EQ(scanDuration({}), 0u);
}

TEST(PcrIndexScanner, FirstEntryIsAtTheFileStart) {
  PcrIndexScanner scanner(188);
  const auto stream = fixtures::pcrStream(fixtures::evenly(0, 1000, 40), 0x100);
  scanner.scan(stream.data(), stream.size(), 0);
  ASSERT_FALSE(scanner.entries().empty());
  EXPECT_EQ(scanner.entries().front().offset, 0u);
  EXPECT_EQ(scanner.entries().front().playMs, 0u);
  EXPECT_EQ(scanner.entries()[1].offset, 2u * 3 * 188);  // the third PCR packet
}

TEST(PcrIndexScanner, TwoProgramsFollowTheFirstPidSeenTwice) {
  tsgen::TsWriter writer;
  for (uint64_t t = 0; t <= 4000; t += 40) {
    writer.writePcrPacket(0x200, (t + 90000) * 90);  // program B, far ahead
    writer.writePcrPacket(0x100, t * 90);             // program A
  }
  // Order B0 A0 B1: B repeats first and becomes the reference.
  PcrIndexScanner scanner(188);
  const auto stream = writer.take();
  scanner.scan(stream.data(), stream.size(), 0);
  ASSERT_FALSE(scanner.entries().empty());
  for (const auto& e : scanner.entries()) EXPECT_EQ(e.pid, 0x200u);
  EXPECT_EQ(scanner.entries().back().playMs, 4000u - 40);
}

TEST(PcrIndexScanner, Jumps) {
  struct Case {
    const char* name;
    fixtures::Bytes stream;
    uint64_t duration;
  };
  // A backward jump (splice) does not advance; later PCRs continue from it.
  auto back = fixtures::pcrStream(fixtures::evenly(0, 5000, 40), 0x100);
  auto after = fixtures::pcrStream(fixtures::evenly(100, 3000, 40), 0x100);
  back.insert(back.end(), after.begin(), after.end());
  // A forward jump over many bytes (more than twice the average rate) is a
  // discontinuity; over few bytes it is elapsed time.
  auto dense = fixtures::pcrStream(fixtures::evenly(0, 2000, 40), 0x100);
  auto gap = fixtures::offsetTaggedStream(3000, 188, {0x101});
  auto later = fixtures::pcrStream(fixtures::evenly(8000, 9000, 40), 0x100);
  auto discontinuous = dense;
  discontinuous.insert(discontinuous.end(), gap.begin(), gap.end());
  discontinuous.insert(discontinuous.end(), later.begin(), later.end());
  auto sparse = dense;
  sparse.insert(sparse.end(), later.begin(), later.end());
  const Case cases[] = {
      {"backwards", back, (5000 - 40) + (2980 - 100)},
      {"forward jump over many bytes", discontinuous, (2000 - 40) + (9000 - 8000)},
      {"forward jump over few bytes", sparse, 9000 - 40},
  };
  for (const Case& c : cases) EXPECT_EQ(scanDuration(c.stream), c.duration) << c.name;
}

TEST(PcrIndexScanner, ConsumesOnlyWholePackets) {
  const auto stream = fixtures::pcrStream(fixtures::evenly(0, 400, 40), 0x100);
  PcrIndexScanner scanner(188);
  EXPECT_EQ(scanner.scan(stream.data(), 1000, 0), 5u * 188);
  EXPECT_EQ(scanner.scan(stream.data(), 100, 0), 0u);
}

class TimeIndexFile : public ::testing::Test {
 protected:
  TempDevice device;
};

TEST_F(TimeIndexFile, SampledLargeFileCoversTheWholeSpan) {
  // About 6 MB: sixteen samples, then the last two strides read whole.
  const auto pcrs = fixtures::evenly(0, 450000, 40);
  const auto stream = fixtures::pcrStream(pcrs, 0x100);
  ASSERT_GT(stream.size(), 2u * 16 * TimeIndex::kSampleBytes);
  TimeIndex index;
  ASSERT_TRUE(index.start(device.write("big.ts", stream), 188, nullptr));
  index.waitUntilDone();
  EXPECT_EQ(index.durationMs(), pcrs.back() - 40);
  const auto entries = index.snapshot();
  EXPECT_LT(entries.size(), pcrs.size());  // sampled, not read whole
}

TEST_F(TimeIndexFile, EncryptedFileIsIndexedOnDecryptedData) {
  const auto pcrs = fixtures::evenly(0, 430000, 40);
  auto stream = fixtures::pcrStream(pcrs, 0x100);
  TimeIndex clear;
  ASSERT_TRUE(clear.start(device.write("clear.ts", stream), 188, nullptr));
  clear.waitUntilDone();
  const uint8_t key[16] = {0x10, 0x20, 0x30};
  oracle::encryptRecording(key, stream);
  TimeIndex enc;
  ASSERT_TRUE(enc.start(device.write("enc.ts", stream), 188, key));
  enc.waitUntilDone();
  const auto a = clear.snapshot(), b = enc.snapshot();
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].offset, b[i].offset);
    EXPECT_EQ(a[i].playMs, b[i].playMs);
  }
  EXPECT_GT(enc.durationMs(), 400000u);
}

TEST_F(TimeIndexFile, TimesAndOffsets) {
  // PCR every 100 ms, each followed by two packets: 564 bytes per 100 ms.
  const auto stream = fixtures::pcrStream(fixtures::evenly(0, 2000, 100), 0x100);
  TimeIndex index;
  ASSERT_TRUE(index.start(device.write("small.ts", stream), 188, nullptr));
  index.waitUntilDone();
  // Entries: offset 0 -> 0 ms, then PCR k (k >= 2) at offset 564 k -> (k - 1) * 100 ms.
  EXPECT_EQ(index.durationMs(), 1900u);
  EXPECT_EQ(index.offsetForTime(0), 0u);
  EXPECT_EQ(index.offsetForTime(50), 564u);  // before the second entry: from offset 0
  EXPECT_EQ(index.offsetForTime(150), 3u * 564 - 282);
  EXPECT_EQ(index.offsetForTime(1900), 20u * 564);
  EXPECT_EQ(index.offsetForTime(99999), 20u * 564);  // past the end: the last entry
  EXPECT_EQ(index.positionMs(0), 0u);
  EXPECT_EQ(index.positionMs(565), 100u);
  EXPECT_EQ(index.positionMs(20 * 564 + 1), 0u);
}

TEST_F(TimeIndexFile, MissingOrEmptyFileGivesAnEmptyIndex) {
  TimeIndex index;
  ASSERT_TRUE(index.start(u"\\nothing.ts", 188, nullptr));
  index.waitUntilDone();
  EXPECT_EQ(index.durationMs(), 0u);
  EXPECT_FALSE(index.offsetForTime(10).has_value());
  ASSERT_TRUE(index.start(device.write("empty.ts", {}), 188, nullptr));
  index.waitUntilDone();
  EXPECT_EQ(index.durationMs(), 0u);
}

}  // namespace
