#include <gtest/gtest.h>

#include "test_helpers.h"

namespace tapfeed::demux {
namespace {

using testing::Bytes;
using testing::DispatcherPtr;

struct Received {
  uint32_t address;
  uint16_t registeredPort;
  uint16_t port;
  Bytes payload;
};

struct Sink {
  std::vector<Received> got;
  static void callback(void* ctx, const UdpRegistration& r, const uint8_t* payload, size_t length, uint16_t port) {
    static_cast<Sink*>(ctx)->got.push_back({r.address, r.port, port, Bytes(payload, payload + length)});
  }
};

constexpr std::array<uint8_t, 4> kGroup{239, 1, 2, 3};
constexpr uint32_t kGroupNumber = 0xEF010203;

Bytes mpe(uint16_t port, const Bytes& payload) {
  return tsgen::makeMpeSection(tsgen::multicastMac(kGroup),
                               tsgen::makeIpv4Udp({10, 0, 0, 1}, kGroup, 1234, port, payload));
}

class DispatcherTest : public ::testing::Test {
 protected:
  DispatcherPtr dispatcher{DatagramDispatcher::create()};
  Sink sink;
  int listen(uint32_t address, uint16_t port) {
    return dispatcher->registerUdp({address, port, &Sink::callback, &sink});
  }
  void process(const Bytes& s, size_t length = 0) { dispatcher->processSection(s.data(), length ? length : s.size()); }
};

TEST_F(DispatcherTest, DeliversToTheRegistrationOfTheDestinationPortOnly) {
  listen(kGroupNumber, 5000);
  listen(kGroupNumber, 5001);
  listen(0xEF010204, 5000);
  process(mpe(5001, {'h', 'i'}));
  ASSERT_EQ(sink.got.size(), 1u);
  EXPECT_EQ(sink.got[0].registeredPort, 5001);
  EXPECT_EQ(sink.got[0].port, 5001);
  EXPECT_EQ(sink.got[0].payload, (Bytes{'h', 'i'}));
}

TEST_F(DispatcherTest, IgnoresLlcSnapAndOtherTableIds) {
  listen(kGroupNumber, 5000);
  Bytes s = mpe(5000, {1});
  s[5] |= 0x02;  // LLC_SNAP_flag
  process(s);
  s = mpe(5000, {1});
  s[0] = kTableIdMpeFec;
  process(s);
  EXPECT_TRUE(sink.got.empty());
  process(mpe(5000, {1}));
  EXPECT_EQ(sink.got.size(), 1u);
}

TEST_F(DispatcherTest, ThirtyThirdRegistrationFailsAndUnregisterFreesOne) {
  int last = -1;
  for (int i = 0; i < 32; ++i) {
    last = listen(kGroupNumber, static_cast<uint16_t>(6000 + i));
    ASSERT_GE(last, 0);
  }
  EXPECT_EQ(listen(kGroupNumber, 7000), -1);
  EXPECT_TRUE(dispatcher->unregister(last));
  EXPECT_FALSE(dispatcher->unregister(last));
  EXPECT_EQ(listen(kGroupNumber, 7000), last);
  EXPECT_EQ(dispatcher->registerUdp({0, 1, &Sink::callback, &sink}), -1) << "a registration needs an address";
}

// Every length in the section must fit what was delivered: these sections are
// ignored rather than read past their end.
struct Malformed {
  const char* name;
  void (*mutate)(Bytes& s, size_t& delivered);
};

void setSectionLength(Bytes& s, size_t v) {
  s[1] = static_cast<uint8_t>((s[1] & 0xF0) | (v >> 8 & 0x0F));
  s[2] = static_cast<uint8_t>(v);
}

class DispatcherRefuses : public DispatcherTest, public ::testing::WithParamInterface<Malformed> {};

TEST_P(DispatcherRefuses, MalformedSection) {
  listen(kGroupNumber, 5000);
  Bytes s = mpe(5000, Bytes(40, 0x11));
  size_t delivered = s.size();
  GetParam().mutate(s, delivered);
  dispatcher->processSection(s.data(), delivered);
  EXPECT_TRUE(sink.got.empty()) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DispatcherRefuses,
    ::testing::Values(
        Malformed{"section_length_below_13", [](Bytes& s, size_t&) { setSectionLength(s, 12); }},
        Malformed{"section_beyond_delivered_bytes", [](Bytes&, size_t& d) { d -= 1; }},
        Malformed{"delivered_shorter_than_header", [](Bytes&, size_t& d) { d = 10; }},
        Malformed{"ipv6_version", [](Bytes& s, size_t&) { s[12] = 0x65; }},
        Malformed{"ihl_4", [](Bytes& s, size_t&) { s[12] = 0x44; }},
        Malformed{"header_longer_than_total_length",
                  [](Bytes& s, size_t&) {
                    s[12] = 0x4F;  // 60-byte header
                    s[14] = 0;
                    s[15] = 40;
                  }},
        Malformed{"total_length_beyond_section",
                  [](Bytes& s, size_t&) {
                    s[14] = 0x01;
                    s[15] = 0x00;
                  }},
        Malformed{"no_room_for_udp_header",
                  [](Bytes& s, size_t&) {
                    s[14] = 0;
                    s[15] = 24;  // 20-byte header + 4 bytes
                  }},
        Malformed{"udp_length_below_8", [](Bytes& s, size_t&) { s[12 + 20 + 5] = 7; s[12 + 20 + 4] = 0; }},
        Malformed{"udp_length_beyond_ip_payload", [](Bytes& s, size_t&) { s[12 + 20 + 4] = 0x10; }}),
    [](const ::testing::TestParamInfo<Malformed>& info) { return std::string(info.param.name); });

TEST_F(DispatcherTest, WorksAsTheDemultiplexerHandler) {
  listen(kGroupNumber, 5000);
  testing::DemuxPtr demux(SectionDemux::create(nullptr));
  demux->addSectionFilter(0x200, &DatagramDispatcher::sectionHandler, dispatcher.get());
  tsgen::TsWriter w;
  const Bytes payload(1400, 0x5A);
  w.writeSection(0x200, mpe(5000, payload));
  w.writeSection(0x200, mpe(5000, {1, 2, 3}));
  testing::finish(w);
  demux->feed(w.bytes().data(), w.bytes().size());
  ASSERT_EQ(sink.got.size(), 2u);
  EXPECT_EQ(sink.got[0].payload, payload);
  EXPECT_EQ(sink.got[1].payload, (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace tapfeed::demux
