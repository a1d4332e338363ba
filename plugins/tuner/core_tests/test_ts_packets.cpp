// Packet-size detection, PCR extraction and the PID filter.
#include <gtest/gtest.h>

#include <random>

#include "packet_filter.h"
#include "stream_fixtures.h"
#include "ts_packets.h"

using namespace tapfeed;

namespace {

// Detection over an in-memory file read in chunks of `chunk` bytes.
std::optional<size_t> detect(const fixtures::Bytes& file, size_t chunk = 524288) {
  size_t pos = 0;
  std::vector<uint8_t> buffer(chunk);
  auto rewind = [&] {
    pos = 0;
    return true;
  };
  auto read = [&](uint8_t* out, size_t capacity) {
    const size_t n = std::min(capacity, file.size() - pos);
    if (n > 0) std::memcpy(out, file.data() + pos, n);
    pos += n;
    return n;
  };
  return detectPacketSize(read, rewind, buffer.data(), buffer.size());
}

fixtures::Bytes m2tsLike(size_t packets) {
  // 192-byte packets: a 4-byte time stamp in front of each 188-byte packet.
  const auto ts = fixtures::offsetTaggedStream(packets, 188, {0x100});
  fixtures::Bytes out;
  for (size_t p = 0; p < packets; ++p) {
    out.insert(out.end(), {0x00, 0x11, 0x22, 0x33});
    out.insert(out.end(), ts.begin() + p * 188, ts.begin() + (p + 1) * 188);
  }
  return out;
}

TEST(PacketSizeDetection, Table) {
  std::mt19937 rng(1);
  fixtures::Bytes garbage(100000);
  for (auto& b : garbage) b = static_cast<uint8_t>(rng() % 0x40);  // never a sync byte
  fixtures::Bytes noisy(100000);
  for (auto& b : noisy) b = static_cast<uint8_t>(rng());
  struct Case {
    const char* name;
    fixtures::Bytes file;
    size_t chunk;
    std::optional<size_t> expected;
  };
  const Case cases[] = {
      {"188", fixtures::offsetTaggedStream(50, 188, {0x100}), 524288, 188},
      {"204", fixtures::offsetTaggedStream(50, 204, {0x100}), 524288, 204},
      {"188 in small chunks", fixtures::offsetTaggedStream(50, 188, {0x100}), 500, 188},
      {"204 in small chunks", fixtures::offsetTaggedStream(50, 204, {0x100}), 333, 204},
      {"192 (time-stamped)", m2tsLike(60), 524288, std::nullopt},
      {"garbage without sync", garbage, 524288, std::nullopt},
      {"random bytes", noisy, 524288, std::nullopt},
      {"short: five packets", fixtures::offsetTaggedStream(5, 188, {0x100}), 524288, std::nullopt},
      {"empty", {}, 524288, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(detect(c.file, c.chunk), c.expected) << c.name;
}

TEST(PcrExtraction, AdaptationFieldRules) {
  tsgen::TsWriter writer;
  writer.writePcrPacket(0x100, 90 * 1234);
  const auto good = writer.take();
  auto withLength = [&](uint8_t control, uint8_t length) {
    auto p = good;
    p[3] = static_cast<uint8_t>((p[3] & 0xCF) | (control << 4));
    p[4] = length;
    return p;
  };
  struct Case {
    const char* name;
    fixtures::Bytes packet;
    size_t available;
    std::optional<uint64_t> ms;
  };
  auto errored = good;
  errored[1] |= 0x80;
  auto noFlag = good;
  noFlag[5] = 0;
  const Case cases[] = {
      {"adaptation only, 183", good, 188, 1234},
      {"adaptation + payload, 7", withLength(3, 7), 188, 1234},
      {"adaptation + payload, 182", withLength(3, 182), 188, 1234},
      {"adaptation + payload, 183", withLength(3, 183), 188, std::nullopt},
      {"adaptation only, 182", withLength(2, 182), 188, std::nullopt},
      {"length 1: flags only", withLength(3, 1), 188, std::nullopt},
      {"length 6: PCR cut short", withLength(3, 6), 188, std::nullopt},
      {"payload only", withLength(1, 183), 188, std::nullopt},
      {"transport error", errored, 188, std::nullopt},
      {"no PCR flag", noFlag, 188, std::nullopt},
      {"fewer than 12 bytes", good, 11, std::nullopt},
  };
  for (const Case& c : cases) {
    auto pcr = readPcr(c.packet.data(), c.available);
    ASSERT_EQ(pcr.has_value(), c.ms.has_value()) << c.name;
    if (pcr) {
      EXPECT_EQ(pcr->milliseconds, *c.ms) << c.name;
    }
  }
  EXPECT_EQ(pcrToMilliseconds(90000, 0), 1000u);
  EXPECT_EQ(pcrToMilliseconds(0, 299), 0u);
}

PidSet pidsOf(std::initializer_list<uint16_t> pids) {
  PidSet set;
  for (uint16_t p : pids) set.keep[p] = 1;
  set.passAll = set.keep[kPassAllPid];
  return set;
}

TEST(PacketFilter, CompactsKeptPacketsInPlace) {
  auto block = fixtures::offsetTaggedStream(16, 188, {0x100, 0x200, 0x300, 0x400});
  block.resize(block.size() + 100, 0x47);  // a partial packet at the end
  const size_t length = block.size();
  const FilterResult r = filterPackets(block.data(), length, 188, pidsOf({0x200}), nullptr);
  ASSERT_EQ(r.outputLength, 4u * 188);
  EXPECT_EQ(r.outputOffset, 0u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(packetPid(&block[i * 188]), 0x200);
    EXPECT_EQ(fixtures::packetTag(&block[i * 188]), (4 * i + 1) * 188);
  }
  EXPECT_EQ(r.remainderOffset, 16u * 188);
  EXPECT_TRUE(r.keepRemainder);
}

TEST(PacketFilter, PassAllAnd204BytePackets) {
  auto stream = fixtures::offsetTaggedStream(10, 204, {0x100, 0x200});
  auto copy = stream;
  FilterResult all = filterPackets(copy.data(), copy.size(), 204, pidsOf({0x1FFF}), nullptr);
  EXPECT_EQ(all.outputLength, stream.size());  // whole 204-byte packets pass
  EXPECT_EQ(copy, stream);
  FilterResult some = filterPackets(stream.data(), stream.size(), 204, pidsOf({0x100}), nullptr);
  ASSERT_EQ(some.outputLength, 5u * 188);  // compacted to 188 bytes each
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(fixtures::packetTag(&stream[i * 188]), 2 * i * 204);
}

TEST(PacketFilter, ResyncsAfterGarbageAndDropsBlocksWithoutSync) {
  tsgen::TsWriter writer;
  uint8_t packet[188];
  fixtures::taggedPacket(packet, 0x100, 1, 0);
  writer.writeRawPacket(packet);
  writer.writeGarbage(fixtures::Bytes(50, 0x00));
  fixtures::taggedPacket(packet, 0x100, 2, 1);
  writer.writeRawPacket(packet);
  auto block = writer.take();
  FilterResult r = filterPackets(block.data(), block.size(), 188, pidsOf({0x100}), nullptr);
  ASSERT_EQ(r.outputLength, 2u * 188);
  EXPECT_EQ(fixtures::packetTag(&block[188]), 2u);

  fixtures::Bytes noSync(1000, 0x11);
  r = filterPackets(noSync.data(), noSync.size(), 188, pidsOf({0x100}), nullptr);
  EXPECT_EQ(r.outputLength, 0u);
  EXPECT_FALSE(r.keepRemainder && r.remainderOffset < noSync.size());
}

}  // namespace
