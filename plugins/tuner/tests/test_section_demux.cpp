#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

#include "test_helpers.h"

namespace tapfeed::demux {
namespace {

using testing::Bytes;
using testing::DemuxPtr;
using testing::SectionLog;

struct Packet {
  uint16_t pid;
  bool unitStart;
  uint8_t counter;
  uint8_t control = 0x10;  // adaptation_field_control in bits 4-5
  Bytes body;              // adaptation field (when present) and payload, padded with 0xFF
};

Bytes raw(const Packet& p) {
  Bytes b(188, 0xFF);
  b[0] = 0x47;
  b[1] = static_cast<uint8_t>((p.unitStart ? 0x40 : 0) | (p.pid >> 8 & 0x1F));
  b[2] = static_cast<uint8_t>(p.pid);
  b[3] = static_cast<uint8_t>(p.control | (p.counter & 0x0F));
  std::memcpy(b.data() + 4, p.body.data(), std::min<size_t>(p.body.size(), 184));
  return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes nulls(size_t n) {
  tsgen::TsWriter w;
  w.writeNullPackets(n);
  return w.take();
}

class SectionDemuxTest : public ::testing::Test {
 protected:
  DemuxPtr demux{SectionDemux::create(nullptr)};
  SectionLog log;

  SectionFilter* listen(uint16_t pid) { return demux->addSectionFilter(pid, &SectionLog::handler, &log); }
  void feed(const Bytes& b) { demux->feed(b.data(), b.size()); }
};

TEST_F(SectionDemuxTest, PartialPacketIsCarriedIntoTheNextBlock) {
  listen(0);
  tsgen::TsWriter w;
  const Bytes pat = tsgen::makePat(1, {{1, 0x100}});
  w.writeSection(0, pat);
  testing::finish(w);
  const Bytes& s = w.bytes();
  demux->feed(s.data(), 100);
  demux->feed(s.data() + 100, 88);
  EXPECT_TRUE(log.sections.empty());
  demux->feed(s.data() + 188, s.size() - 188);
  ASSERT_EQ(log.sections.size(), 1u);
  EXPECT_EQ(log.sections[0].section, pat);
  EXPECT_EQ(log.sections[0].pid, 0);
}

TEST_F(SectionDemuxTest, SkipsGarbageBeforeTheFirstPacket) {
  listen(0);
  tsgen::TsWriter w;
  w.writeGarbage({0x00, 0x47, 0x12, 0x47, 0x47, 0x99});
  w.writeSection(0, tsgen::makePat(1, {}));
  testing::finish(w);
  feed(w.bytes());
  ASSERT_EQ(log.sections.size(), 1u);
}

TEST_F(SectionDemuxTest, SectionOverThreePacketsIsDeliveredOnceFromTheLast) {
  listen(0x100);
  tsgen::TsWriter w;
  const Bytes s = testing::privateSection(0x80, 500);
  w.writeSection(0x100, s);
  testing::finish(w);
  feed(w.bytes());
  ASSERT_EQ(log.sections.size(), 1u);
  EXPECT_EQ(log.sections[0].section, s);
  EXPECT_EQ(log.sections[0].flags >> 8 & 0x0F, 2u) << "flags of the packet that completed it";
  EXPECT_EQ(log.sections[0].flags & kFlagContinuityError, 0u);
  EXPECT_EQ(log.sections[0].flags & kFlagPayloadUnitStart, 0u);
}

TEST_F(SectionDemuxTest, TwoShortSectionsInOnePacketThenStuffing) {
  listen(0x100);
  tsgen::TsWriter w;
  const Bytes a = testing::privateSection(0x80, 20, 1);
  const Bytes b = testing::privateSection(0x81, 30, 2);
  w.writeSections(0x100, {a, b});
  testing::finish(w);
  feed(w.bytes());
  ASSERT_EQ(log.sections.size(), 2u);
  EXPECT_EQ(log.sections[0].section, a);
  EXPECT_EQ(log.sections[1].section, b);
}

TEST_F(SectionDemuxTest, LongestSectionLengthIsCappedAt4096Bytes) {
  listen(0x100);
  tsgen::TsWriter w;
  Bytes s = testing::privateSection(0x80, 4098);  // section_length 4095
  w.writeSection(0x100, s);
  testing::finish(w);
  feed(w.bytes());
  ASSERT_GE(log.sections.size(), 1u);
  EXPECT_EQ(log.sections[0].section.size(), 4096u);
  EXPECT_TRUE(std::equal(s.begin(), s.begin() + 4096, log.sections[0].section.begin()));
}

TEST_F(SectionDemuxTest, PointerFieldBeyondPayloadDropsTheSectionInProgress) {
  listen(0x100);
  const Bytes s = testing::privateSection(0x80, 300);
  Bytes first{0x00};
  first.insert(first.end(), s.begin(), s.begin() + 183);
  Bytes bad{200};  // pointer_field 200 > 183
  Bytes rest(s.begin() + 183, s.end());
  feed(concat({raw({0x100, true, 0, 0x10, first}), raw({0x100, true, 1, 0x10, bad}),
               raw({0x100, false, 2, 0x10, rest}), nulls(3)}));
  EXPECT_TRUE(log.sections.empty());
}

TEST_F(SectionDemuxTest, ContinuityFlags) {
  listen(0x100);
  tsgen::TsWriter w;
  const Bytes s = testing::privateSection(0x80, 20);
  w.writeSection(0x100, s);
  w.writeSection(0x100, s);
  w.injectContinuityError(0x100);
  w.writeSection(0x100, s);
  testing::finish(w);
  feed(w.bytes());
  ASSERT_EQ(log.sections.size(), 3u);
  EXPECT_NE(log.sections[0].flags & kFlagContinuityError, 0u) << "first packet of a PID";
  EXPECT_EQ(log.sections[1].flags & kFlagContinuityError, 0u);
  EXPECT_NE(log.sections[2].flags & kFlagContinuityError, 0u);
  EXPECT_NE(log.sections[2].flags & kFlagPayloadUnitStart, 0u);
}

TEST_F(SectionDemuxTest, AdaptationFieldLengthAbove183IgnoresThePacket) {
  listen(0x100);
  const Bytes s = testing::privateSection(0x80, 20);
  Bytes body{184, 0x00};
  feed(concat({raw({0x100, true, 0, 0x30, body}), nulls(3)}));
  Bytes good{10, 0x80};
  good.resize(11, 0xFF);
  good.push_back(0x00);  // pointer_field
  good.insert(good.end(), s.begin(), s.end());
  feed(concat({raw({0x100, true, 1, 0x30, good}), nulls(3)}));
  ASSERT_EQ(log.sections.size(), 1u);
  EXPECT_EQ(log.sections[0].section, s);
  EXPECT_NE(log.sections[0].flags & kFlagDiscontinuityIndicator, 0u);
}

// A packet with an adaptation field only carries no payload, whatever its
// field length: its stuffing must not join the section in progress.
TEST_F(SectionDemuxTest, AdaptationOnlyPacketAddsNothingToTheSection) {
  listen(0x100);
  const Bytes s = testing::privateSection(0x80, 300);
  Bytes first{0x00};
  first.insert(first.end(), s.begin(), s.begin() + 183);
  Bytes adaptationOnly{100, 0x00};
  adaptationOnly.resize(184, 0xAB);
  Bytes rest(s.begin() + 183, s.end());
  feed(concat({raw({0x100, true, 0, 0x10, first}), raw({0x100, false, 0, 0x20, adaptationOnly}),
               raw({0x100, false, 1, 0x10, rest}), nulls(3)}));
  ASSERT_EQ(log.sections.size(), 1u);
  EXPECT_EQ(log.sections[0].section, s);
}

// When a new section starts before the one in progress is complete, the old
// one lost data: it is dropped, never completed with the new section's bytes.
TEST_F(SectionDemuxTest, NewSectionStartDropsTheIncompleteOne) {
  listen(0x100);
  const Bytes a = testing::privateSection(0x80, 250, 1);
  const Bytes b = testing::privateSection(0x81, 50, 2);
  Bytes first{0x00};
  first.insert(first.end(), a.begin(), a.begin() + 183);
  // The next packet carries 10 more bytes of `a` (of the 67 missing), then `b`.
  Bytes second{10};
  second.insert(second.end(), a.begin() + 183, a.begin() + 193);
  second.insert(second.end(), b.begin(), b.end());
  feed(concat({raw({0x100, true, 0, 0x10, first}), raw({0x100, true, 1, 0x10, second}), nulls(3)}));
  ASSERT_EQ(log.sections.size(), 1u);
  EXPECT_EQ(log.sections[0].section, b);
}

TEST_F(SectionDemuxTest, BytesBeforePointerCompleteTheOldSection) {
  listen(0x100);
  const Bytes a = testing::privateSection(0x80, 190, 1);
  const Bytes b = testing::privateSection(0x81, 50, 2);
  tsgen::TsWriter w;
  w.writeSections(0x100, {a, b});
  testing::finish(w);
  feed(w.bytes());
  ASSERT_EQ(log.sections.size(), 2u);
  EXPECT_EQ(log.sections[0].section, a);
  EXPECT_EQ(log.sections[1].section, b);
}

std::vector<testing::Delivered> demuxAll(const Bytes& stream, const std::vector<size_t>& splits) {
  DemuxPtr d(SectionDemux::create(nullptr));
  SectionLog log;
  d->addSectionFilter(kAllPids, &SectionLog::handler, &log);
  size_t pos = 0;
  for (size_t n : splits) {
    n = std::min(n, stream.size() - pos);
    d->feed(stream.data() + pos, n);
    pos += n;
  }
  d->feed(stream.data() + pos, stream.size() - pos);
  return log.sections;
}

Bytes mixedStream(size_t packetSize, uint8_t padding) {
  tsgen::TsWriter w(packetSize, padding);
  for (int i = 0; i < 20; ++i) {
    w.writeSection(0, tsgen::makePat(1, {{1, 0x100}}));
    w.writePcrPacket(0x101, 1000u * static_cast<unsigned>(i));
    w.writeSection(0x100, testing::privateSection(0x80, 100 + 37 * static_cast<size_t>(i), static_cast<uint8_t>(i)));
    w.writeNullPackets(1);
  }
  testing::finish(w);
  return w.take();
}

TEST(SectionDemuxSync, RandomBlockSplitsGiveTheSameSections) {
  const Bytes stream = mixedStream(188, 0xFF);
  const auto whole = demuxAll(stream, {});
  ASSERT_EQ(whole.size(), 40u);
  std::mt19937 rng(12);
  for (int round = 0; round < 20; ++round) {
    std::vector<size_t> splits;
    for (int i = 0; i < 200; ++i) splits.push_back(rng() % 400);
    const auto split = demuxAll(stream, splits);
    ASSERT_EQ(split.size(), whole.size()) << "round " << round;
    for (size_t i = 0; i < split.size(); ++i) EXPECT_EQ(split[i].section, whole[i].section);
  }
}

// In 204-byte input the 16 bytes after each packet may hold 0x47; they must not
// be taken for packet starts (which would also swallow the real packet behind).
TEST(SectionDemuxSync, PaddingBytesOf204BytePacketsAreNeverPacketStarts) {
  const auto reference = demuxAll(mixedStream(188, 0xFF), {});
  for (uint8_t padding : {uint8_t{0x47}, uint8_t{0x00}}) {
    const Bytes stream = mixedStream(204, padding);
    for (const auto& splits : {std::vector<size_t>{}, std::vector<size_t>(300, 101)}) {
      const auto got = demuxAll(stream, splits);
      ASSERT_EQ(got.size(), reference.size()) << "padding " << int(padding);
      for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].section, reference[i].section);
        EXPECT_EQ(got[i].pid, reference[i].pid);
      }
    }
  }
}

// Starting inside a run of 0x47 padding bytes, sync must land on the packet
// start that ends the run, not on a padding byte.
TEST(SectionDemuxSync, SyncFromInsidePaddingOfSyncBytes) {
  const Bytes stream = mixedStream(204, 0x47);
  const auto reference = demuxAll(stream, {});
  for (size_t skip : {size_t{188}, size_t{190}, size_t{203}}) {
    const Bytes cut(stream.begin() + static_cast<long>(skip), stream.end());
    const auto got = demuxAll(cut, {});
    // The first packet is cut away; everything from the second on comes through.
    ASSERT_EQ(got.size(), reference.size() - 1) << "skip " << skip;
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].section, reference[i + 1].section);
  }
}

TEST(SectionDemuxSync, LongRunsOfSyncBytesKeepTheCarryBounded) {
  tsgen::TsWriter w;
  w.writeGarbage(Bytes(5000, 0x47));
  w.writeSection(0, tsgen::makePat(3, {}));
  testing::finish(w);
  for (size_t block : {size_t{1}, size_t{100}, size_t{4096}}) {
    const auto got = demuxAll(w.bytes(), std::vector<size_t>(w.bytes().size() / block + 1, block));
    ASSERT_FALSE(got.empty()) << block;
    EXPECT_EQ(got.back().section, tsgen::makePat(3, {}));
  }
}

TEST(SectionDemuxSync, RecoversAfterCorruptionInTheMiddle) {
  tsgen::TsWriter w;
  w.writeNullPackets(2);
  w.writeSection(0, tsgen::makePat(1, {}));
  w.writeGarbage(Bytes(77, 0x47));
  w.writeSection(0, tsgen::makePat(2, {}));
  testing::finish(w);
  const auto got = demuxAll(w.bytes(), {});
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1].section, tsgen::makePat(2, {}));
}

TEST_F(SectionDemuxTest, ResetDropsThePartialSection) {
  listen(0x100);
  const Bytes s = testing::privateSection(0x80, 600);  // four packets
  tsgen::TsWriter w;
  w.writeSection(0x100, s);
  testing::finish(w);
  const Bytes& b = w.bytes();
  demux->feed(b.data(), 188 * 3);
  demux->reset();
  // Without the reset, the repeated third packet would overfill the section.
  demux->feed(b.data() + 188 * 2, b.size() - 188 * 2);
  EXPECT_TRUE(log.sections.empty());
}

TEST_F(SectionDemuxTest, FiltersOfOnePidAndOfEveryPid) {
  SectionLog every;
  listen(0x100);
  SectionFilter* all = demux->addSectionFilter(kAllPids, &SectionLog::handler, &every);
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(demux->addSectionFilter(8193, &SectionLog::handler, &log), nullptr);
  EXPECT_EQ(demux->addSectionFilter(1, nullptr, &log), nullptr);
  tsgen::TsWriter w;
  w.writeSection(0, tsgen::makePat(1, {}));
  w.writeSection(0x100, testing::privateSection(0x80, 10));
  testing::finish(w);
  feed(w.bytes());
  EXPECT_EQ(log.sections.size(), 1u);
  EXPECT_EQ(every.sections.size(), 2u);
  EXPECT_TRUE(demux->removeFilter(all));
  EXPECT_FALSE(demux->removeFilter(all));
}

struct SelfRemover {
  SectionDemux* demux;
  SectionFilter* filter = nullptr;
  int calls = 0;
  static void handler(void* ctx, uint16_t, uint32_t, const uint8_t*, size_t) {
    auto* self = static_cast<SelfRemover*>(ctx);
    ++self->calls;
    self->demux->removeFilter(self->filter);
  }
};

TEST_F(SectionDemuxTest, HandlerMayRemoveItsOwnFilter) {
  SelfRemover remover{demux.get()};
  remover.filter = demux->addSectionFilter(0x100, &SelfRemover::handler, &remover);
  tsgen::TsWriter w;
  w.writeSections(0x100, {testing::privateSection(0x80, 10), testing::privateSection(0x80, 10)});
  w.writeSection(0x100, testing::privateSection(0x80, 10));
  testing::finish(w);
  feed(w.bytes());
  EXPECT_EQ(remover.calls, 1);
}

// Filters are added and removed on another thread while a feed walks the lists
// (run under ASan and TSan to see the memory is never touched after it is freed).
TEST(SectionDemuxThreads, FiltersChangeWhileFeeding) {
  DemuxPtr d(SectionDemux::create(nullptr));
  SectionLog steady;
  d->addSectionFilter(0x100, &SectionLog::handler, &steady);
  const Bytes stream = mixedStream(188, 0xFF);
  std::atomic<bool> done{false};
  std::atomic<int> churn{0};
  std::thread changer([&] {
    SectionLog scratch;  // only touched by the feeding thread through handlers
    while (!done.load()) {
      SectionFilter* a = d->addSectionFilter(0x100, [](void*, uint16_t, uint32_t, const uint8_t*, size_t) {}, nullptr);
      SectionFilter* b = d->addSectionFilter(kAllPids, [](void*, uint16_t, uint32_t, const uint8_t*, size_t) {}, nullptr);
      d->removeFilter(a);
      d->removeFilter(b);
      churn.fetch_add(1);
    }
    (void)scratch;
  });
  int rounds = 0;
  while (rounds < 200 || churn.load() < 50) {
    for (size_t pos = 0; pos < stream.size(); pos += 1000) {
      d->feed(stream.data() + pos, std::min<size_t>(1000, stream.size() - pos));
    }
    ++rounds;
  }
  done = true;
  changer.join();
  // Every round brings 20 sections on PID 0x100 to the steady filter.
  EXPECT_EQ(steady.sections.size(), static_cast<size_t>(rounds) * 20);
}

}  // namespace
}  // namespace tapfeed::demux
