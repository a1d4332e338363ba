// The time index's PCR scan over arbitrary bytes fed in pieces, keeping the
// unconsumed tail in front of the next piece as the index thread does; then
// the time-to-offset mapping over the entries found.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "time_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t packetSize = (data[0] & 1) ? 204 : 188;
  const size_t piece = 1 + size_t(data[1]) * 8;
  data += 2;
  size -= 2;
  tapfeed::PcrIndexScanner scanner(packetSize);
  std::vector<uint8_t> buffer;
  uint64_t bufferOffset = 0;
  for (size_t pos = 0; pos < size; pos += piece) {
    const size_t n = std::min(piece, size - pos);
    buffer.insert(buffer.end(), data + pos, data + pos + n);
    const size_t consumed = scanner.scan(buffer.data(), buffer.size(), bufferOffset);
    if (consumed > buffer.size()) std::abort();
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(consumed));
    bufferOffset += consumed;
  }
  uint64_t lastPlay = 0;
  for (const auto& e : scanner.entries()) {
    if (e.offset >= size) std::abort();
    if (e.playMs < lastPlay) std::abort();  // play time never goes back
    lastPlay = e.playMs;
  }
  return 0;
}
