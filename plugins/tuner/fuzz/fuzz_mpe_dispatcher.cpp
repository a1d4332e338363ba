// Hands the fuzz input to the datagram dispatcher as an MPE section, with
// registrations for the destination the section names, so payloads are read.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "si/datagram_dispatcher.h"

namespace {
volatile uint8_t sink;
void touch(void*, const tapfeed::demux::UdpRegistration&, const uint8_t* payload, size_t length, uint16_t) {
  // Read every payload byte so an over-read shows.
  uint8_t x = 0;
  for (size_t i = 0; i < length; ++i) x ^= payload[i];
  sink = x;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tapfeed::demux;
  std::vector<uint8_t> section(data, data + size);
  DatagramDispatcher* d = DatagramDispatcher::create();
  uint32_t address = 0xEF010203;
  uint16_t port = 5000;
  if (size >= 12 + 24) {
    const uint8_t* ip = section.data() + 12;
    address = static_cast<uint32_t>(ip[16]) << 24 | static_cast<uint32_t>(ip[17]) << 16 |
              static_cast<uint32_t>(ip[18]) << 8 | ip[19];
    const size_t ihl = static_cast<size_t>(ip[0] & 0x0F) * 4;
    if (12 + ihl + 4 <= size) port = static_cast<uint16_t>(ip[ihl + 2] << 8 | ip[ihl + 3]);
  }
  if (address != 0) {
    d->registerUdp({address, port, &touch, nullptr});
    d->registerUdp({address, static_cast<uint16_t>(port + 1), &touch, nullptr});
  }
  d->processSection(section.data(), section.size());
  d->release();
  return 0;
}
