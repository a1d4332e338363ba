#include "si/datagram_dispatcher.h"

#include <new>

namespace tapfeed::demux {
namespace {

constexpr size_t kMpeHeaderSize = 12;  // datagram_section bytes before the datagram
constexpr size_t kMpeTrailerSize = 4;  // CRC_32 or checksum
constexpr size_t kUdpHeaderSize = 8;

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

}  // namespace

bool extractUdpDatagram(const uint8_t* section, size_t length, UdpDatagram& out) {
  if (section == nullptr || length < kMpeHeaderSize + kMpeTrailerSize) return false;
  if (section[0] != kTableIdMpe) return false;
  const size_t sectionLength = static_cast<size_t>((section[1] & 0x0F) << 8 | section[2]);
  // The header after section_length (9 bytes) and the trailer must fit in it,
  // and the section must fit in what was delivered.
  if (sectionLength < kMpeHeaderSize - 3 + kMpeTrailerSize || sectionLength + 3 > length) return false;
  const bool llcSnap = (section[5] & 0x02) != 0;
  if (llcSnap) return false;
  const uint8_t* ip = section + kMpeHeaderSize;
  const size_t datagramLength = sectionLength - 13;

  if (datagramLength < 20) return false;
  const unsigned version = ip[0] >> 4;
  const size_t headerLength = static_cast<size_t>(ip[0] & 0x0F) * 4;
  const size_t totalLength = be16(ip + 2);
  if (version != 4 || headerLength < 20) return false;
  if (totalLength > kMaxDatagramLength || totalLength > datagramLength) return false;
  if (headerLength > totalLength) return false;
  const size_t ipPayloadLength = totalLength - headerLength;
  if (ipPayloadLength < kUdpHeaderSize) return false;

  const uint8_t* udp = ip + headerLength;
  const size_t udpLength = be16(udp + 4);
  if (udpLength < kUdpHeaderSize || udpLength > ipPayloadLength) return false;
  out.sourceAddress = be32(ip + 12);
  out.destinationAddress = be32(ip + 16);
  out.sourcePort = be16(udp);
  out.destinationPort = be16(udp + 2);
  out.payload = udp + kUdpHeaderSize;
  out.payloadLength = udpLength - kUdpHeaderSize;
  return true;
}

DatagramDispatcher* DatagramDispatcher::create() { return new (std::nothrow) DatagramDispatcher(); }

void DatagramDispatcher::addRef() { refs_.fetch_add(1, std::memory_order_relaxed); }

void DatagramDispatcher::release() {
  if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

int DatagramDispatcher::registerUdp(const UdpRegistration& registration) {
  if (registration.address == 0 || registration.callback == nullptr) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = 0; i < kMaxRegistrations; ++i) {
    if (entries_[i].address == 0) {
      entries_[i] = registration;
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool DatagramDispatcher::unregister(int handle) {
  if (handle < 0 || static_cast<size_t>(handle) >= kMaxRegistrations) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (entries_[handle].address == 0) return false;
  entries_[handle] = UdpRegistration{};
  return true;
}

void DatagramDispatcher::processSection(const uint8_t* section, size_t length) {
  UdpDatagram datagram;
  if (!extractUdpDatagram(section, length, datagram)) return;
  UdpRegistration matches[kMaxRegistrations];
  size_t count = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const UdpRegistration& entry : entries_) {
      if (entry.address != 0 && entry.address == datagram.destinationAddress &&
          entry.port == datagram.destinationPort) {
        matches[count++] = entry;
      }
    }
  }
  for (size_t i = 0; i < count; ++i) {
    matches[i].callback(matches[i].context, matches[i], datagram.payload, datagram.payloadLength,
                        datagram.destinationPort);
  }
}

void DatagramDispatcher::sectionHandler(void* context, uint16_t, uint32_t, const uint8_t* section,
                                        size_t length) {
  static_cast<DatagramDispatcher*>(context)->processSection(section, length);
}

}  // namespace tapfeed::demux
