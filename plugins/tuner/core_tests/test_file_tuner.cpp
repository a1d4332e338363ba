// The file tuner through its exports and operation table, with a small host
// in place of the engine.
#include <gtest/gtest.h>

#include <random>

#include "file_tuner.h"
#include "openssl_oracle.h"
#include "plat/clock.h"
#include "stream_fixtures.h"
#include "temp_device.h"
#include "test_host.h"
#include "ts_packets.h"

using fixtures::Bytes;

namespace {

// The packets of `pid` in a 188-byte stream, in order.
Bytes packetsOf(const Bytes& stream, uint16_t pid, size_t packetSize = 188) {
  Bytes out;
  for (size_t p = 0; p + packetSize <= stream.size(); p += packetSize)
    if (tapfeed::packetPid(&stream[p]) == pid) out.insert(out.end(), stream.begin() + p, stream.begin() + p + 188);
  return out;
}

class FileTunerTest : public ::testing::Test {
 protected:
  TempDevice device;
  TestHost host;
  tapfeed::FileTuner& core() { return *static_cast<tapfeed::FileTuner*>(host.tuner); }
  void waitForIndex() {
    if (auto* index = core().timeIndex()) index->waitUntilDone();
  }
};

// ---- exports and table -------------------------------------------------------------

TEST(TunerExports, DetectCreateDelete) {
  TapfeedDeviceInfo info[2];
  std::memset(info, 0xEE, sizeof info);
  EXPECT_EQ(DetectTunerDevice(nullptr, 1), -1);
  EXPECT_EQ(DetectTunerDevice(info, 0), -1);
  EXPECT_EQ(info[0].capabilityMask, 0xEEEEEEEEu);  // nothing written
  EXPECT_EQ(DetectTunerDevice(info, 2), 1);
  EXPECT_STREQ(info[0].name, "Norvale File Tuner");
  EXPECT_STREQ(info[0].secondName, "Norvale File Tuner");
  EXPECT_EQ(info[0].capabilityMask, 0x9600042Fu);
  EXPECT_EQ(info[0].deviceFlag, 1);
  EXPECT_EQ(RegisterTunerChange(nullptr), 0);
  EXPECT_EQ(DeleteTuner(nullptr), nullptr);
  TapfeedTuner* t = CreateTuner();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(DeleteTuner(t), nullptr);
}

TEST(TunerExports, FixedSlots) {
  TestHost host;
  TapfeedTuner* t = host.tuner;
  const TapfeedTunerOps& ops = *t->ops;
  EXPECT_EQ(ops.preload(t), 0);
  EXPECT_EQ(ops.postUnload(t), 0);
  EXPECT_EQ(ops.reserved3(t), 0);
  EXPECT_EQ(ops.reserved4(t), 0);
  for (auto slot : {ops.reserved9, ops.reserved10, ops.reserved14, ops.reserved16, ops.reserved20, ops.reserved26,
                    ops.reserved27})
    EXPECT_EQ(slot(t), 2);
  EXPECT_EQ(ops.notify(t, 5, 1, 2), reinterpret_cast<intptr_t>(t));  // no event callback yet
  host.installCallbacks();
  EXPECT_EQ(ops.notify(t, 200, 0, 0), 0);
  EXPECT_EQ(host.endEvents, 1);
  EXPECT_EQ(ops.getUserValueB(t), 1);
  EXPECT_EQ(ops.setUserValueB(t, 42), reinterpret_cast<intptr_t>(t));
  EXPECT_EQ(ops.getUserValueB(t), 42);
  EXPECT_EQ(ops.close(t), 0);  // closed already: nothing to do
}

TEST(TunerExports, CapabilityMaskAndModes) {
  TapfeedDeviceInfo custom;
  DetectTunerDevice(&custom, 1);
  custom.capabilityMask = 0x7FF;  // every bit up to 10
  struct Case {
    int32_t mode;
    const TapfeedDeviceInfo* info;
    int32_t result;
    uint32_t sourceType;
  };
  const Case cases[] = {
      {0, nullptr, 0, 0x40000029}, {2, nullptr, 0, 0x4000000D}, {3, nullptr, 0, 0x4000000B},
      {5, nullptr, 0, 0x4000000D}, {10, nullptr, 0, 0x40000007}, {4, nullptr, 2, 0},
      {6, nullptr, 2, 0},          {7, nullptr, 2, 0},          {-1, nullptr, 2, 0},
      {11, nullptr, 2, 0},         {6, &custom, 0, 0},          {9, &custom, 0, 0},
      {4, &custom, 2, 0},          {1, nullptr, 1, 0},  // no IP datacast machinery installed
  };
  for (const Case& c : cases) {
    TestHost host;
    EXPECT_EQ(host.open(c.mode, c.info), c.result) << "mode " << c.mode;
    uint32_t type[2] = {0xFFFF, 0xFFFF};
    EXPECT_EQ(host.tuner->ops->getSourceType(host.tuner, type), 0);
    EXPECT_EQ(type[0], c.result == 0 ? c.sourceType : 0u) << "mode " << c.mode;
    EXPECT_EQ(type[1], 0u);
    EXPECT_EQ(host.tuner->ops->getSourceType(host.tuner, nullptr), 0);
  }
}

TEST(TunerExports, OpenTwiceIsRefused) {
  TestHost host;
  ASSERT_EQ(host.open(0), 0);
  EXPECT_EQ(host.open(0), 13);
  EXPECT_EQ(host.tuner->ops->close(host.tuner), 0);
  EXPECT_EQ(host.open(2), 0);
}

// ---- Tune --------------------------------------------------------------------------

TEST_F(FileTunerTest, TuneErrors) {
  const auto path = device.write("a.ts", fixtures::offsetTaggedStream(20, 188, {0x100}));
  EXPECT_EQ(host.tune(path), 13);  // not open
  ASSERT_EQ(host.open(0), 0);
  EXPECT_EQ(host.tuner->ops->tune(host.tuner, nullptr, nullptr), 9);
  EXPECT_EQ(host.tune(u""), 9);  // no path and no file-name callback
  EXPECT_EQ(host.tune(u"\\missing.ts"), 12);
  EXPECT_EQ(host.tune(u"\\" + std::u16string(258, u'x')), 12);  // 259 units: allowed, absent
  EXPECT_EQ(host.tune(u"\\" + std::u16string(259, u'x')), 9);   // 260 units: refused
  EXPECT_EQ(host.untune(), 13);
  EXPECT_EQ(host.tune(path), 0);
  EXPECT_EQ(host.untune(), 0);
  EXPECT_EQ(host.untune(), 13);
}

int32_t nameCallback(void* context, char16_t* buffer, uint32_t capacity) {
  const auto* name = static_cast<const std::u16string*>(context);
  if (name->empty()) return 0;
  plat::copyBounded(buffer, capacity, *name);
  return 1;
}

int32_t overlongNameCallback(void*, char16_t* buffer, uint32_t capacity) {
  for (uint32_t i = 0; i < capacity; ++i) buffer[i] = u'y';  // no terminator
  return 1;
}

TEST_F(FileTunerTest, FileNameCallbackAndWriteBack) {
  std::u16string name = device.write("b.ts", fixtures::offsetTaggedStream(20, 188, {0x100}));
  ASSERT_EQ(host.open(0), 0);
  TapfeedFileNameCallback callback = nameCallback;
  void* fn;
  std::memcpy(&fn, &callback, sizeof fn);
  EXPECT_EQ(host.set(kTapfeedParamFileNameCallback, nullptr, 0), 9);
  ASSERT_EQ(host.set(kTapfeedParamFileNameCallback, fn, reinterpret_cast<uintptr_t>(&name)), 0);
  std::vector<char16_t> buffer(kTapfeedPathCapacity, u'\0');
  TapfeedTuneRequest request{1, 2, buffer.data(), kTapfeedTuneWriteBackName, 0};
  ASSERT_EQ(host.tuner->ops->tune(host.tuner, &request, nullptr), 0);
  EXPECT_EQ(std::u16string(buffer.data()), name);
  host.untune();

  std::u16string empty;
  ASSERT_EQ(host.set(kTapfeedParamFileNameCallback, fn, reinterpret_cast<uintptr_t>(&empty)), 0);
  EXPECT_EQ(host.tune(u""), 9);  // the callback found nothing

  callback = overlongNameCallback;
  std::memcpy(&fn, &callback, sizeof fn);
  ASSERT_EQ(host.set(kTapfeedParamFileNameCallback, fn, 0), 0);
  EXPECT_EQ(host.tune(u""), 9);  // 260 units without a terminator
}

TEST_F(FileTunerTest, SameTargetIgnoresCase) {
  const auto path = device.write("Show.ts", fixtures::offsetTaggedStream(20, 188, {0x100}));
  ASSERT_EQ(host.open(0), 0);
  ASSERT_EQ(host.tune(path), 0);
  std::u16string upper = plat::utf8ToUtf16("\\SHOW.TS");
  std::vector<char16_t> buffer(upper.begin(), upper.end());
  buffer.push_back(0);
  TapfeedTuneRequest request{0, 0, buffer.data(), 0, 0};
  EXPECT_EQ(host.tuner->ops->isSameTarget(host.tuner, &request), 1);
  EXPECT_EQ(host.tuner->ops->tune(host.tuner, &request, nullptr), 0);
  // The path kept is still the first spelling: nothing was reopened.
  std::vector<uint8_t> out(4 + 2 * kTapfeedPathCapacity);
  ASSERT_EQ(host.get(kTapfeedParamFilePath, out.data(), out.size()), 0);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out.data() + 4)), path);
  request.path = nullptr;
  EXPECT_EQ(host.tuner->ops->isSameTarget(host.tuner, &request), 0);
}

// ---- parameters ------------------------------------------------------------------

TEST_F(FileTunerTest, GetParamNeedsTheTunedState) {
  int64_t out[8] = {};
  int32_t count = 4;
  ASSERT_EQ(host.open(0), 0);
  for (uint32_t id : {4u, 8u, 10u, 18u, 19u, 20u, 23u, 24u, 0x10003u, 0x10007u, 0x10008u, 0x30006u, 999u})
    EXPECT_EQ(host.get(id, out, id == 0x10003u ? reinterpret_cast<uintptr_t>(&count) : 8), 13) << id;
  // Seeking needs a tuned file too; flags and callbacks do not.
  EXPECT_EQ(host.seek(1000), 13);
  EXPECT_EQ(host.setFlag(kTapfeedParamLoop, 1), 0);
  EXPECT_EQ(host.setFlag(kTapfeedParamPacing, 0), 0);
}

TEST_F(FileTunerTest, ParameterTable) {
  const auto path = device.write("p.ts", fixtures::pcrStream(fixtures::evenly(0, 2000, 40), 0x100));
  ASSERT_EQ(host.open(0), 0);
  ASSERT_EQ(host.tune(path, 11, 22), 0);
  waitForIndex();
  int32_t i32 = 0;
  uint64_t u64 = 0;
  int32_t status[11];
  std::memset(status, 0x55, sizeof status);
  int32_t pids[4] = {};
  int32_t pidCount = 4;
  host.addPid(0x100);
  host.addPid(0x200);
  struct Case {
    const char* name;
    bool set;
    uint32_t id;
    void* value;
    uintptr_t extra;
    int32_t result;
  };
  const Case cases[] = {
      {"set pacing", true, 18, &i32, 4, 0},
      {"set pacing null", true, 18, nullptr, 4, 9},
      {"set partial null", true, 19, nullptr, 4, 9},
      {"set loop null", true, 0x30004, nullptr, 4, 9},
      {"set user A", true, 10, &i32, 4, 0},
      {"set user A size", true, 10, &i32, 8, 9},
      {"set user A null", true, 10, nullptr, 4, 9},
      {"set seek size", true, 24, &u64, 4, 9},
      {"set seek null", true, 24, nullptr, 8, 9},
      {"set unknown", true, 77, &i32, 4, 2},
      {"signal level", false, 4, &i32, 4, 0},
      {"signal level null", false, 4, nullptr, 4, 9},
      {"pacing size", false, 18, &i32, 8, 9},
      {"pacing", false, 18, &i32, 4, 0},
      {"partial", false, 19, &i32, 4, 0},
      {"duration", false, 23, &u64, 8, 0},
      {"duration size", false, 23, &u64, 4, 9},
      {"duration null", false, 23, nullptr, 8, 9},
      {"position", false, 24, &u64, 8, 0},
      {"position size", false, 24, &u64, 7, 9},
      {"status", false, 8, status, 44, 0},
      {"status size", false, 8, status, 40, 9},
      {"user A", false, 10, &i32, 4, 0},
      {"user B", false, 0x30006, &i32, 4, 0},
      {"user B null", false, 0x30006, nullptr, 4, 9},
      {"requested PIDs", false, 0x10003, pids, reinterpret_cast<uintptr_t>(&pidCount), 0},
      {"requested PIDs no count", false, 0x10003, pids, 0, 9},
      {"no-op", false, 0x10007, nullptr, 0, 0},
      {"reserved 0x10008", false, 0x10008, &i32, reinterpret_cast<uintptr_t>(&pidCount), 2},
      {"reserved 0x10008 null", false, 0x10008, nullptr, 0, 9},
      {"IP platforms outside mode 1", false, 0x10009, &i32, 4, 2},
      {"broadcast time outside mode 1", false, 0x1000C, &i32, 4, 2},
      {"unknown", false, 999, &i32, 4, 2},
  };
  for (const Case& c : cases) {
    TapfeedParam p{c.id, 0, c.value, c.extra};
    const int32_t r = c.set ? host.tuner->ops->setParam(host.tuner, &p) : host.tuner->ops->getParam(host.tuner, &p);
    EXPECT_EQ(r, c.result) << c.name;
  }
  EXPECT_EQ(status[1], 1);
  EXPECT_EQ(status[2], 11);
  EXPECT_EQ(status[3], 22);
  EXPECT_EQ(status[4], 5);
  EXPECT_EQ(status[6], -1);
  EXPECT_EQ(status[8], -1);
  EXPECT_EQ(pidCount, 2);
  EXPECT_EQ(pids[0], 0x100);
  EXPECT_EQ(pids[1], 0x200);
  EXPECT_EQ(host.get(23, &u64, 8), 0);
  EXPECT_EQ(u64, 2000u - 40);
}

TEST_F(FileTunerTest, FilePathOutputIsSizeChecked) {
  const auto path = device.write("name.ts", fixtures::offsetTaggedStream(20, 188, {0x100}));
  ASSERT_EQ(host.open(0), 0);
  ASSERT_EQ(host.tune(path), 0);
  const size_t needed = 4 + 2 * (path.size() + 1);
  std::vector<uint8_t> out(needed + 8, 0xCC);
  EXPECT_EQ(host.get(20, out.data(), needed - 1), 9);
  EXPECT_EQ(out[0], 0xCC);  // nothing written
  EXPECT_EQ(host.get(20, nullptr, needed), 9);
  ASSERT_EQ(host.get(20, out.data(), needed), 0);
  int32_t one;
  std::memcpy(&one, out.data(), 4);
  EXPECT_EQ(one, 1);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out.data() + 4)), path);
  EXPECT_EQ(out[needed], 0xCC);
}

TEST_F(FileTunerTest, PidList) {
  ASSERT_EQ(host.open(0), 0);
  EXPECT_EQ(host.addPid(0x100), 0);
  EXPECT_EQ(host.addPid(0x100), 0);  // duplicates count
  EXPECT_EQ(host.addPid(8192), 0);   // out of range: ignored
  EXPECT_EQ(host.removePid(0x300), 0);
  EXPECT_EQ(host.tuner->ops->enableFullStream(host.tuner), 0);
  const auto path = device.write("q.ts", fixtures::offsetTaggedStream(20, 188, {0x100}));
  ASSERT_EQ(host.tune(path), 0);
  int32_t pids[8];
  int32_t count = 8;
  ASSERT_EQ(host.get(0x10003, pids, reinterpret_cast<uintptr_t>(&count)), 0);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(pids[0], 0x100);
  EXPECT_EQ(pids[1], 0x100);
  EXPECT_EQ(pids[2], 0x1FFF);
  count = 1;
  ASSERT_EQ(host.get(0x10003, pids, reinterpret_cast<uintptr_t>(&count)), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(host.tuner->ops->disableFullStream(host.tuner), 0);
  EXPECT_EQ(host.removePid(0x100), 0);
  count = 8;
  host.get(0x10003, pids, reinterpret_cast<uintptr_t>(&count));
  EXPECT_EQ(count, 1);
  // The list holds 8192 entries and then refuses.
  for (int i = 1; i < 8192; ++i) ASSERT_EQ(host.addPid(static_cast<uint32_t>(i % 8000)), 0);
  EXPECT_EQ(host.addPid(0x10), 19);
}

// ---- streaming ---------------------------------------------------------------------

TEST_F(FileTunerTest, StreamsTheRequestedPidsOfSmallAndLargeFiles) {
  host.installCallbacks();
  ASSERT_EQ(host.open(0), 0);
  host.addPid(0x200);
  for (size_t packets : {size_t{300}, size_t{7000}}) {  // 56 KB and 1.3 MB (three chunks)
    const Bytes stream = fixtures::offsetTaggedStream(packets, 188, {0x100, 0x200, 0x300});
    const Bytes expected = packetsOf(stream, 0x200);
    host.takeReceived();
    ASSERT_EQ(host.tune(device.write("s" + std::to_string(packets) + ".ts", stream)), 0);
    ASSERT_TRUE(host.waitFor([&] { return host.received.size() >= expected.size() && host.endEvents > 0; }));
    EXPECT_EQ(host.takeReceived(), expected) << packets;
    host.untune();
    std::lock_guard<std::mutex> lock(host.mutex);
    host.endEvents = 0;
  }
}

TEST_F(FileTunerTest, PacketSizeIsDetectedAfreshOnEveryTune) {
  host.installCallbacks();
  ASSERT_EQ(host.open(0), 0);
  host.addPid(0x100);
  const Bytes s204 = fixtures::offsetTaggedStream(40, 204, {0x100, 0x200});
  ASSERT_EQ(host.tune(device.write("w.ts", s204)), 0);
  ASSERT_TRUE(host.waitFor([&] { return host.endEvents == 1; }));
  EXPECT_EQ(host.takeReceived(), packetsOf(s204, 0x100, 204));  // compacted to 188 bytes
  EXPECT_EQ(core().packetSize(), 204u);
  host.untune();
  // Too short to decide: the size falls back to 188, not the 204 of the last file.
  const Bytes s188 = fixtures::offsetTaggedStream(8, 188, {0x100});
  ASSERT_EQ(host.tune(device.write("short.ts", s188)), 0);
  ASSERT_TRUE(host.waitFor([&] { return host.endEvents == 2; }));
  EXPECT_EQ(core().packetSize(), 188u);
  EXPECT_EQ(host.takeReceived(), s188);
  host.untune();
  // Pass-all delivers 204-byte packets whole.
  host.tuner->ops->enableFullStream(host.tuner);
  ASSERT_EQ(host.tune(device.write("w2.ts", s204)), 0);
  ASSERT_TRUE(host.waitFor([&] { return host.endEvents == 3; }));
  EXPECT_EQ(host.takeReceived(), s204);
}

TEST_F(FileTunerTest, EndEventOnceAgainAfterSeekNeverWhenLooping) {
  host.installCallbacks();
  ASSERT_EQ(host.open(0), 0);
  host.addPid(0x100);
  const Bytes stream = fixtures::pcrStream(fixtures::evenly(0, 4000, 40), 0x100, 0);
  ASSERT_EQ(host.tune(device.write("e.ts", stream)), 0);
  waitForIndex();
  ASSERT_TRUE(host.waitFor([&] { return host.endEvents == 1; }));
  ASSERT_EQ(host.seek(0), 0);
  ASSERT_TRUE(host.waitFor([&] { return host.endEvents == 2; }));
  EXPECT_EQ(host.receivedSize(), 2 * stream.size());
  host.untune();

  ASSERT_EQ(host.setFlag(kTapfeedParamLoop, 1), 0);
  host.takeReceived();
  ASSERT_EQ(host.tune(device.write("l.ts", stream)), 0);
  ASSERT_TRUE(host.waitFor([&] { return host.received.size() >= 3 * stream.size(); }));
  host.untune();
  const Bytes got = host.takeReceived();
  EXPECT_EQ(host.endEvents, 2);
  for (size_t round = 0; round < 3; ++round)
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), got.begin() + round * stream.size())) << round;
}

// Tagged packets of PID 0x100 behind a PCR every 40 ms, so the index can map
// times to offsets; every delivered packet names its own file offset.
Bytes seekableStream(size_t groups) {
  tsgen::TsWriter writer;
  uint8_t packet[188];
  for (size_t g = 0; g < groups; ++g) {
    writer.writePcrPacket(0x50, g * 40 * 90);
    for (int k = 0; k < 4; ++k) {
      fixtures::taggedPacket(packet, 0x100, writer.bytes().size(), static_cast<uint8_t>(k));
      writer.writeRawPacket(packet);
    }
  }
  return writer.take();
}

void expectContiguousFrom(const Bytes& got, uint64_t expectedFirst) {
  ASSERT_GE(got.size(), 188u);
  ASSERT_EQ(got.size() % 188, 0u);
  EXPECT_EQ(fixtures::packetTag(got.data()), expectedFirst);
  uint64_t previous = fixtures::packetTag(got.data());
  for (size_t p = 188; p < got.size(); p += 188) {
    const uint64_t tag = fixtures::packetTag(&got[p]);
    // The next tagged packet: 188 bytes on, or 376 across a PCR packet.
    ASSERT_TRUE(tag == previous + 188 || tag == previous + 376) << "at " << p << ": " << previous << " -> " << tag;
    previous = tag;
  }
}

class SeekTest : public FileTunerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SeekTest, NoStaleBytesAfterASeek) {
  const bool encrypted = GetParam();
  const Bytes plain = seekableStream(6000);  // 5.6 MB, 240 s
  Bytes stored = plain;
  const uint8_t key[16] = {0xA1, 0xB2, 0xC3, 0xD4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  if (encrypted) {
    oracle::encryptRecording(key, stored);
    device.write("seek.key", Bytes(key, key + 16));
  }
  host.installCallbacks();
  ASSERT_EQ(host.setFlag(kTapfeedParamPartialDelivery, 1), 0);
  ASSERT_EQ(host.open(0), 0);
  host.addPid(0x100);
  host.gateOpen = false;  // hold the first chunk in delivery
  ASSERT_EQ(host.tune(device.write("seek.ts", stored)), 0);
  waitForIndex();
  for (uint64_t target : {uint64_t{123457}, uint64_t{33333}, uint64_t{0}, uint64_t{239000}}) {
    host.gateOpen = false;
    ASSERT_EQ(host.seek(target), 0);
    host.takeReceived();
    {
      std::lock_guard<std::mutex> lock(host.mutex);
      host.endEvents = 0;
    }
    host.gateOpen = true;
    ASSERT_TRUE(host.waitFor([&] { return host.received.size() >= 200 * 188 || host.endEvents > 0; }));
    host.gateOpen = false;
    const Bytes got = host.takeReceived();
    // The first packet is the first tagged one at or after the aligned offset.
    uint64_t offset = core().timeIndex()->offsetForTime(target).value();
    offset -= offset % (encrypted ? 376 : 188);
    uint64_t first = offset;
    while (tapfeed::packetPid(&plain[first]) != 0x100) first += 188;
    SCOPED_TRACE(target);
    expectContiguousFrom(got, first);
  }
}

INSTANTIATE_TEST_SUITE_P(ClearAndEncrypted, SeekTest, ::testing::Bool());

TEST_F(FileTunerTest, EncryptedFilesPlayDecrypted) {
  const uint8_t key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  host.installCallbacks();
  ASSERT_EQ(host.open(0), 0);
  host.addPid(0x100);
  int round = 0;
  // 512 KiB or less, and three chunks (the third decrypts to more than a read).
  for (size_t packets : {size_t{2000}, size_t{2789}, size_t{8500}}) {
    const Bytes plain = fixtures::offsetTaggedStream(packets, 188, {0x100, 0x200});
    Bytes stored = plain;
    oracle::encryptRecording(key, stored);
    const std::string name = "enc" + std::to_string(packets);
    device.write(name + ".key", Bytes(key, key + 16));
    ASSERT_EQ(host.tune(device.write(name + ".ts", stored)), 0);
    ++round;
    ASSERT_TRUE(host.waitFor([&] { return host.endEvents == round; }));
    host.untune();
    // A trailing half unit stays in the decryptor; everything else arrives clear.
    Bytes whole(plain.begin(), plain.begin() + (plain.size() - plain.size() % 376));
    EXPECT_EQ(host.takeReceived(), packetsOf(whole, 0x100)) << packets;
  }
}

TEST_F(FileTunerTest, KeyFilesOfOtherLengthsAreIgnored) {
  host.installCallbacks();
  ASSERT_EQ(host.open(0), 0);
  host.tuner->ops->enableFullStream(host.tuner);
  const Bytes plain = fixtures::offsetTaggedStream(100, 188, {0x100});
  Bytes stored = plain;
  const uint8_t key[17] = {1};
  oracle::encryptRecording(key, stored);
  int round = 0;
  for (size_t length : {size_t{15}, size_t{17}}) {
    device.write("k.key", Bytes(key, key + length));
    ASSERT_EQ(host.tune(device.write("k.ts", stored)), 0);
    ++round;
    ASSERT_TRUE(host.waitFor([&] { return host.endEvents == round; }));
    host.untune();
    EXPECT_EQ(host.takeReceived(), stored) << length;  // delivered as stored
  }
}

TEST(KeyPath, OnlyTheLastComponentCounts) {
  EXPECT_EQ(tapfeed::keyPathFor(u"\\Storage Card\\show.ts"), u"\\Storage Card\\show.key");
  EXPECT_EQ(tapfeed::keyPathFor(u"\\a.b\\c.d.ts"), u"\\a.b\\c.d.key");
  EXPECT_EQ(tapfeed::keyPathFor(u"\\rec.v1\\movie"), u"");
  EXPECT_EQ(tapfeed::keyPathFor(u"\\movie"), u"");
}

TEST_F(FileTunerTest, PartialDeliveryCarriesTheTailInMode10AndClampsResults) {
  host.installCallbacks();
  host.keepCalls = true;
  ASSERT_EQ(host.setFlag(kTapfeedParamPartialDelivery, 1), 0);
  ASSERT_EQ(host.open(10), 0);
  const Bytes stream = fixtures::offsetTaggedStream(8000, 188, {0x100});  // three chunks
  int call = 0;
  host.consume = [&](uint32_t length) -> int32_t {
    ++call;
    if (call == 1) return static_cast<int32_t>(length) - 100;  // keep 100 bytes back
    if (call == 2) return static_cast<int32_t>(length) + 5000;  // more than offered
    return -7;  // negative: nothing consumed, offered again
  };
  ASSERT_EQ(host.tune(device.write("m10.ts", stream)), 0);
  ASSERT_TRUE(host.waitFor([&] { return host.calls.size() >= 3; }));
  host.untune();
  std::lock_guard<std::mutex> lock(host.mutex);
  ASSERT_GE(host.calls.size(), 3u);
  EXPECT_EQ(host.calls[0].size(), 524288u);
  // The 100 bytes held back open the next block.
  EXPECT_TRUE(std::equal(host.calls[0].end() - 100, host.calls[0].end(), host.calls[1].begin()));
  EXPECT_EQ(host.calls[1].size(), 100u + 524288);
  // Consumed counts are clamped: the first two reads arrived exactly once,
  // and the third block is offered whole again.
  EXPECT_EQ(host.received, Bytes(stream.begin(), stream.begin() + 2 * 524288));
  EXPECT_EQ(host.calls[2].size(), stream.size() - 2 * 524288);
  EXPECT_EQ(host.calls.back(), host.calls[2]);
}

TEST_F(FileTunerTest, UntuneAndCloseWhileStreaming) {
  const Bytes stream = fixtures::pcrStream(fixtures::evenly(0, 60000, 40), 0x100);
  const auto path = device.write("busy.ts", stream);
  host.installCallbacks();
  ASSERT_EQ(host.setFlag(kTapfeedParamLoop, 1), 0);
  ASSERT_EQ(host.open(0), 0);
  host.tuner->ops->enableFullStream(host.tuner);
  for (int round = 0; round < 10; ++round) {
    ASSERT_EQ(host.tune(path), 0);
    ASSERT_TRUE(host.waitFor([&] { return !host.received.empty(); }));
    ASSERT_EQ(host.untune(), 0);
    host.takeReceived();
  }
  // Partial delivery with nothing consumed: the thread sits in delivery.
  ASSERT_EQ(host.setFlag(kTapfeedParamPartialDelivery, 1), 0);
  host.gateOpen = false;
  ASSERT_EQ(host.tune(path), 0);
  ASSERT_EQ(host.tuner->ops->close(host.tuner), 0);
  EXPECT_EQ(host.untune(), 13);
}

// ---- mode 1 hooks ----------------------------------------------------------------

class RecordingIpSink final : public tapfeed::IpModeSink {
 public:
  explicit RecordingIpSink(std::vector<uint8_t>& fed, int& stops, std::mutex& mutex, std::condition_variable& cv)
      : fed_(fed), stops_(stops), mutex_(mutex), cv_(cv) {}
  void feed(const uint8_t* data, size_t length) override {
    std::lock_guard<std::mutex> lock(mutex_);
    fed_.insert(fed_.end(), data, data + length);
    cv_.notify_all();
  }
  int32_t startIpScan(void*) override { return 0; }
  int32_t getParam(TapfeedParam* param) override { return param->id == kTapfeedParamBroadcastTime ? 0 : 20; }
  void stop() override { ++stops_; }

 private:
  std::vector<uint8_t>& fed_;
  int& stops_;
  std::mutex& mutex_;
  std::condition_variable& cv_;
};

TEST_F(FileTunerTest, Mode1FeedsTheIpMachineryAndForwardsItsOperations) {
  std::vector<uint8_t> fed;
  int stops = 0;
  core().setIpModeFactory([&](tapfeed::FileTuner&) -> std::unique_ptr<tapfeed::IpModeSink> {
    return std::make_unique<RecordingIpSink>(fed, stops, host.mutex, host.changed);
  });
  ASSERT_EQ(host.open(1), 0);
  const Bytes stream = fixtures::offsetTaggedStream(3000, 188, {0x100, 0x200});  // two chunks, uneven tail
  ASSERT_EQ(host.tune(device.write("ip.ts", stream)), 0);
  ASSERT_TRUE(host.waitFor([&] { return fed.size() >= stream.size(); }));
  EXPECT_EQ(host.tuner->ops->startIpScan(host.tuner, nullptr), 0);
  EXPECT_EQ(host.tuner->ops->removeIpSectionFilter(host.tuner, nullptr), 2);  // not implemented by the sink
  int32_t out[6];
  EXPECT_EQ(host.get(kTapfeedParamBroadcastTime, out, sizeof out), 0);
  EXPECT_EQ(host.get(kTapfeedParamIpPlatforms, out, sizeof out), 20);
  ASSERT_EQ(host.tuner->ops->close(host.tuner), 0);
  EXPECT_EQ(stops, 1);
  std::lock_guard<std::mutex> lock(host.mutex);
  EXPECT_EQ(fed, stream);
  // Other modes do not reach the IP operations.
  EXPECT_EQ(host.tuner->ops->startIpScan(host.tuner, nullptr), 2);
}

// ---- pacing ----------------------------------------------------------------------

class RecordingPacingClock final : public tapfeed::PacingClock {
 public:
  uint64_t nowMs() override { return clock.tickMs(); }
  void sleepMs(uint32_t ms) override {
    std::lock_guard<std::mutex> lock(mutex);
    sleeps.push_back(ms);
    clock.advance(ms);
  }
  std::vector<uint32_t> take() {
    std::lock_guard<std::mutex> lock(mutex);
    return std::move(sleeps);
  }
  plat::VirtualClock clock;
  std::mutex mutex;
  std::vector<uint32_t> sleeps;
};

std::vector<uint32_t> repeat(std::vector<uint32_t> pattern, int times) {
  std::vector<uint32_t> out;
  for (int i = 0; i < times; ++i) out.insert(out.end(), pattern.begin(), pattern.end());
  return out;
}

TEST_F(FileTunerTest, PacingSleepSequences) {
  RecordingPacingClock pacing;
  core().setPacingClock(&pacing);
  host.installCallbacks();
  ASSERT_EQ(host.setFlag(kTapfeedParamPacing, 1), 0);
  ASSERT_EQ(host.open(0), 0);
  host.addPid(0x101);
  auto concat = [](std::vector<uint64_t> a, const std::vector<uint64_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  struct Case {
    const char* name;
    Bytes stream;
    std::vector<uint32_t> sleeps;
  };
  // PCRs every 250 ms: two to learn the PID, the third is the base, and each
  // later one waits 250 ms in steps of at most 100.
  const std::vector<uint32_t> step = {100, 100, 50};
  std::vector<bool> flagged(8, false);
  flagged[5] = true;  // discontinuity_indicator on the PCR of 1250 ms
  const Case cases[] = {
      {"steady", fixtures::pcrStream(fixtures::evenly(0, 3000, 250), 0x100), repeat(step, 10)},
      {"forward jump of a minute", fixtures::pcrStream(concat(fixtures::evenly(0, 1000, 250),
                                                              fixtures::evenly(61000, 62000, 250)), 0x100),
       repeat(step, 6)},
      {"backward jump", fixtures::pcrStream(concat(fixtures::evenly(0, 1000, 250), fixtures::evenly(200, 700, 250)),
                                            0x100),
       repeat(step, 4)},
      {"discontinuity indicator", fixtures::pcrStream(fixtures::evenly(0, 1750, 250), 0x100, 2, 188, flagged),
       repeat(step, 4)},
  };
  int round = 0;
  for (const Case& c : cases) {
    pacing.take();
    ASSERT_EQ(host.tune(device.write("pace" + std::to_string(round) + ".ts", c.stream)), 0);
    ++round;
    ASSERT_TRUE(host.waitFor([&] { return host.endEvents == round; }));
    host.untune();
    EXPECT_EQ(pacing.take(), c.sleeps) << c.name;
    EXPECT_EQ(host.takeReceived(), packetsOf(c.stream, 0x101)) << c.name;
  }
}

}  // namespace
