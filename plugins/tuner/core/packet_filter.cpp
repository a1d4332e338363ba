#include "packet_filter.h"

#include <cstring>

#include "ts_packets.h"

namespace tapfeed {

FilterResult filterPackets(uint8_t* block, size_t length, size_t packetSize, const PidSet& pids,
                           PacketHook* hook) {
  FilterResult result;
  if (length < packetSize) return result;  // nothing delivered, nothing carried
  size_t pos = findSync(block, length);
  if (pos >= length) return result;  // no sync byte: the block is dropped

  size_t out = 0;        // compacted output end (filtering)
  size_t passStart = 0;  // first byte not yet delivered (pass-all)
  bool tailHasNoSync = false;
  while (length - pos >= packetSize) {
    uint8_t* packet = block + pos;
    if (hook) {
      const size_t pendingStart = pids.passAll ? passStart : 0;
      const size_t pendingLength = pids.passAll ? pos - passStart : out;
      if (hook->onPacket(packet, length - pos, block + pendingStart, pendingLength)) {
        if (pids.passAll)
          passStart = pos;
        else
          out = 0;
      }
    }
    if (!pids.passAll && pids.keep[packetPid(packet)]) {
      if (out != pos) std::memmove(block + out, packet, kPacket188);
      out += kPacket188;
    }
    size_t next = pos + packetSize;
    if (next < length && block[next] != kSyncByte) {
      next = findSync(block, length, next);
      if (next >= length) {
        // No further sync: keep the bytes after this packet only when they
        // could still be the start of a packet cut by the block end.
        tailHasNoSync = true;
        pos += packetSize;
        break;
      }
    }
    pos = next;
  }
  result.remainderOffset = pos;
  result.keepRemainder = !tailHasNoSync || length - pos < packetSize;
  if (pids.passAll) {
    result.outputOffset = passStart;
    result.outputLength = pos - passStart;
  } else {
    result.outputLength = out;
  }
  return result;
}

}  // namespace tapfeed
