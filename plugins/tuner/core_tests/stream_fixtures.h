// Small transport streams for the core tests, written with tsgen.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "tsgen.h"

namespace fixtures {

using Bytes = std::vector<uint8_t>;

// A 188-byte packet of `pid` whose payload starts with the 64-bit value `tag`
// (tests put the packet's own file offset there to spot stale bytes).
inline void taggedPacket(uint8_t* packet, uint16_t pid, uint64_t tag, uint8_t counter) {
  std::memset(packet, 0xA5, 188);
  packet[0] = 0x47;
  packet[1] = static_cast<uint8_t>(pid >> 8 & 0x1F);
  packet[2] = static_cast<uint8_t>(pid);
  packet[3] = static_cast<uint8_t>(0x10 | (counter & 0x0F));
  std::memcpy(packet + 4, &tag, sizeof tag);
}

inline uint64_t packetTag(const uint8_t* packet) {
  uint64_t tag;
  std::memcpy(&tag, packet + 4, sizeof tag);
  return tag;
}

// `count` packets cycling through `pids`, each tagged with its file offset.
inline Bytes offsetTaggedStream(size_t count, size_t packetSize, const std::vector<uint16_t>& pids) {
  tsgen::TsWriter writer(packetSize);
  uint8_t packet[188];
  for (size_t i = 0; i < count; ++i) {
    taggedPacket(packet, pids[i % pids.size()], i * packetSize, static_cast<uint8_t>(i));
    writer.writeRawPacket(packet);
  }
  return writer.take();
}

// PCR packets of `pid` at the given milliseconds, each followed by `fill`
// payload packets of PID 0x101.
inline Bytes pcrStream(const std::vector<uint64_t>& pcrMs, uint16_t pid, size_t fill = 2, size_t packetSize = 188,
                       const std::vector<bool>& discontinuity = {}) {
  tsgen::TsWriter writer(packetSize);
  uint8_t packet[188];
  uint64_t n = 0;
  for (size_t i = 0; i < pcrMs.size(); ++i) {
    writer.writePcrPacket(pid, pcrMs[i] * 90, 0, i < discontinuity.size() && discontinuity[i]);
    for (size_t f = 0; f < fill; ++f) {
      taggedPacket(packet, 0x101, n, static_cast<uint8_t>(n));
      ++n;
      writer.writeRawPacket(packet);
    }
  }
  return writer.take();
}

inline std::vector<uint64_t> evenly(uint64_t from, uint64_t to, uint64_t step) {
  std::vector<uint64_t> out;
  for (uint64_t t = from; t <= to; t += step) out.push_back(t);
  return out;
}

}  // namespace fixtures
