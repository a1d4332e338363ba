// Transport-packet helpers shared by the streaming core and the time index:
// sync search, PID, PCR extraction and packet-size detection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace tapfeed {

inline constexpr uint8_t kSyncByte = 0x47;
inline constexpr size_t kPacket188 = 188;
inline constexpr size_t kPacket204 = 204;
inline constexpr uint16_t kPassAllPid = 0x1FFF;
inline constexpr size_t kPidCount = 8192;

inline uint16_t packetPid(const uint8_t* packet) {
  return static_cast<uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
}

// Index of the first sync byte at or after `from`, or `length` when none.
size_t findSync(const uint8_t* data, size_t length, size_t from = 0);

struct PcrSample {
  uint64_t milliseconds;
  bool discontinuity;  // discontinuity_indicator of the adaptation field
};

// The PCR of the packet starting at `packet`, with `available` bytes readable
// from there. Needs transport_error_indicator clear, an adaptation field
// whose length is 7..182 with a payload or exactly 183 without, the PCR flag,
// and the 12 bytes up to the end of the PCR inside `available`.
std::optional<PcrSample> readPcr(const uint8_t* packet, size_t available);

// Milliseconds of a 33-bit PCR base and 9-bit extension (27 MHz clock).
inline uint64_t pcrToMilliseconds(uint64_t base, uint32_t extension) {
  return (base * 300 + extension) * 1000 / 27 / 1000000;
}

// Packet-size detection. `readChunk(buffer, capacity)` returns the bytes it
// read (0 at the end or on failure). `rewind()` goes back to the file start
// and returns false when it cannot. Tries 188, then 204: a candidate is
// accepted after a chunk once 10 or more probes hit a sync byte with at most
// 2 misses, and rejected after more than 5 misses or when the data ends.
// Returns the accepted size, or nullopt when neither is.
using ChunkReader = std::function<size_t(uint8_t* buffer, size_t capacity)>;
std::optional<size_t> detectPacketSize(const ChunkReader& readChunk, const std::function<bool()>& rewind,
                                       uint8_t* buffer, size_t capacity);

}  // namespace tapfeed
