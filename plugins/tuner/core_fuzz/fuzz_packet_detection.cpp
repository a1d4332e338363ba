// Packet-size detection over arbitrary bytes read in arbitrary chunk sizes,
// then the PID filter over the same bytes with the detected size.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "packet_filter.h"
#include "ts_packets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const size_t chunk = 1 + ((size_t(data[0]) << 8) | data[1]) % 4096;
  const uint8_t pidSelector = data[2];
  data += 3;
  size -= 3;
  size_t pos = 0;
  std::vector<uint8_t> buffer(chunk);
  auto rewind = [&] {
    pos = 0;
    return true;
  };
  auto read = [&](uint8_t* out, size_t capacity) {
    const size_t n = std::min(capacity, size - pos);
    if (n > 0) std::memcpy(out, data + pos, n);
    pos += n;
    return n;
  };
  const auto detected = tapfeed::detectPacketSize(read, rewind, buffer.data(), buffer.size());
  if (detected && *detected != 188 && *detected != 204) std::abort();
  const size_t packetSize = detected.value_or(188);

  std::vector<uint8_t> block(data, data + size);
  tapfeed::PidSet pids;
  pids.keep[pidSelector] = 1;
  pids.passAll = (pidSelector & 1) != 0;
  if (pids.passAll) pids.keep[tapfeed::kPassAllPid] = 1;
  const auto r = tapfeed::filterPackets(block.data(), block.size(), packetSize, pids, nullptr);
  if (r.remainderOffset > block.size() || r.outputOffset + r.outputLength > block.size()) std::abort();
  if (!pids.passAll && r.outputLength % 188 != 0) std::abort();
  if (r.keepRemainder && block.size() - r.remainderOffset > 204 && r.remainderOffset != 0) {
    // A carried remainder is always shorter than one packet.
    if (block.size() - r.remainderOffset >= packetSize) std::abort();
  }
  return 0;
}
