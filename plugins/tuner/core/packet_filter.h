// PID filter over one block of transport packets: kept packets are compacted
// in place (188 bytes each, also from 204-byte input) from the block start;
// with PID 0x1FFF in the list everything passes unchanged. A pacer hook sees
// every packet start first and may hand the output made so far to the
// consumer before it waits, so delivery follows the stream's clock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tapfeed {

// Which PIDs pass: a byte per PID, so the per-packet test is one load.
struct PidSet {
  std::array<uint8_t, 8192> keep{};
  bool passAll = false;
};

class PacketHook {
 public:
  virtual ~PacketHook() = default;
  // Called at each packet start with the bytes readable from there. `pending`
  // / `pendingLength` is the output not yet handed on; the hook may deliver it
  // and then returns true, so the filter starts a fresh output after it.
  virtual bool onPacket(const uint8_t* packet, size_t available, const uint8_t* pending,
                        size_t pendingLength) = 0;
};

struct FilterResult {
  size_t outputOffset = 0;     // output not yet delivered: block[outputOffset, +outputLength)
  size_t outputLength = 0;
  size_t remainderOffset = 0;  // unprocessed tail: block[remainderOffset, length)
  bool keepRemainder = false;  // the tail is a partial packet to carry into the next block
};

FilterResult filterPackets(uint8_t* block, size_t length, size_t packetSize, const PidSet& pids,
                           PacketHook* hook);

}  // namespace tapfeed
