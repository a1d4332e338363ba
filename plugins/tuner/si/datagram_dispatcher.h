// Datagram dispatcher: takes multiprotocol-encapsulation (MPE) datagram
// sections, takes out the IPv4 datagram, reads its UDP header and hands the UDP
// payload to every registration for the datagram's destination address and port.
// Works on the section bytes in place; nothing is copied.
//
// Every length read from the section (section_length, IHL, total_length, the UDP
// length) must fit inside the bytes delivered, else the section is ignored.
//
// Threads. Registrations may be added and removed from any thread while another
// thread processes sections. Matching registrations are copied under the lock and
// called after it is released, so a callback may already be under way when its
// registration is removed; its context must outlive that call.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace tapfeed::demux {

constexpr uint8_t kTableIdMpe = 0x3E;
constexpr uint8_t kTableIdMpeFec = 0x78;
constexpr size_t kMaxRegistrations = 32;
constexpr size_t kMaxDatagramLength = 1600;

struct UdpRegistration;

// Called with the matching registration, the UDP payload and the destination port.
using UdpCallback = void (*)(void* context, const UdpRegistration& registration, const uint8_t* payload,
                             size_t length, uint16_t port);

struct UdpRegistration {
  uint32_t address = 0;  // IPv4 destination, first octet in the top byte; 0 marks a free entry
  uint16_t port = 0;     // UDP destination port
  UdpCallback callback = nullptr;
  void* context = nullptr;
};

class DatagramDispatcher {
 public:
  static DatagramDispatcher* create();
  void addRef();
  void release();

  // Returns a handle (0..31), or -1 when the registration has no address or
  // callback or all entries are in use.
  int registerUdp(const UdpRegistration& registration);
  bool unregister(int handle);

  // One MPE section from table_id to the end of its CRC_32 or checksum.
  void processSection(const uint8_t* section, size_t length);

  // Section handler for the demultiplexer, with the dispatcher as context.
  static void sectionHandler(void* context, uint16_t pid, uint32_t packetFlags, const uint8_t* section,
                             size_t length);

  DatagramDispatcher(const DatagramDispatcher&) = delete;
  DatagramDispatcher& operator=(const DatagramDispatcher&) = delete;

 private:
  DatagramDispatcher() = default;
  ~DatagramDispatcher() = default;

  std::atomic<int> refs_{1};
  std::mutex mutex_;
  UdpRegistration entries_[kMaxRegistrations];
};

// The UDP payload of one MPE section, located in place.
struct UdpDatagram {
  uint32_t sourceAddress;
  uint32_t destinationAddress;
  uint16_t sourcePort;
  uint16_t destinationPort;
  const uint8_t* payload;
  size_t payloadLength;
};

// Finds the UDP payload of an MPE section; false when the section is not a
// usable datagram section (wrong table_id, LLC/SNAP, lengths that do not fit).
bool extractUdpDatagram(const uint8_t* section, size_t length, UdpDatagram& out);

}  // namespace tapfeed::demux
