#include "ts_packets.h"

#include <cstring>

namespace tapfeed {

namespace {
constexpr int kMaxDetectionChunks = 16;
}  // namespace

size_t findSync(const uint8_t* data, size_t length, size_t from) {
  if (from >= length) return length;
  const void* hit = std::memchr(data + from, kSyncByte, length - from);
  return hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - data) : length;
}

std::optional<PcrSample> readPcr(const uint8_t* p, size_t available) {
  if (available < 12) return std::nullopt;
  if (p[1] & 0x80) return std::nullopt;  // transport_error_indicator
  const uint8_t control = (p[3] >> 4) & 0x3;
  if (!(control & 0x2)) return std::nullopt;  // no adaptation field
  const uint8_t afLength = p[4];
  const bool payload = control & 0x1;
  // A PCR needs the flags byte and six PCR bytes inside the field.
  if (afLength < 7) return std::nullopt;
  if (payload ? afLength > 182 : afLength != 183) return std::nullopt;
  const uint8_t flags = p[5];
  if (!(flags & 0x10)) return std::nullopt;
  const uint64_t base = (uint64_t(p[6]) << 25) | (uint64_t(p[7]) << 17) | (uint64_t(p[8]) << 9) |
                        (uint64_t(p[9]) << 1) | (p[10] >> 7);
  const uint32_t extension = ((p[10] & 0x1) << 8) | p[11];
  return PcrSample{pcrToMilliseconds(base, extension), (flags & 0x80) != 0};
}

std::optional<size_t> detectPacketSize(const ChunkReader& readChunk, const std::function<bool()>& rewind,
                                       uint8_t* buffer, size_t capacity) {
  for (size_t candidate : {kPacket188, kPacket204}) {
    if (!rewind()) return std::nullopt;
    int hits = 0;
    int misses = 0;
    bool synced = false;
    size_t probe = 0;  // next probe position, relative to the current chunk
    // A file that never decides (garbage) is not read to its end.
    for (int chunk = 0; chunk < kMaxDetectionChunks; ++chunk) {
      const size_t got = readChunk(buffer, capacity);
      if (got == 0) break;  // end of data or read failure: rejected
      if (!synced) {
        if (got >= candidate) {
          const size_t first = findSync(buffer, got);
          if (first < got) {
            synced = true;
            probe = first + candidate;
          }
        }
      }
      if (synced) {
        for (; probe < got; probe += candidate) {
          if (buffer[probe] == kSyncByte)
            ++hits;
          else
            ++misses;
        }
        probe -= got;
      }
      if (hits >= 10 && misses <= 2) return candidate;
      if (misses > 5) break;
    }
  }
  return std::nullopt;
}

}  // namespace tapfeed
