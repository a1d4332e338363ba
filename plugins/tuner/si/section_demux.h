// Section demultiplexer: takes transport-stream bytes in blocks of any size,
// cuts them into packets, checks continuity and reassembles the PSI/SI sections
// of the PIDs that section filters ask for. Each complete section goes to its
// filter's handler, in place, valid only during the call.
//
// Packet sync. While not in sync, a 0x47 counts as a packet start only when the
// bytes one and two packet lengths further on (188 or 204) are 0x47 as well; in
// sync a packet is taken at the known stride when the byte one stride after it
// is 0x47 too, so padding between packets is never mistaken for a packet start
// and a packet followed by lost or inserted bytes is not used. Sync needs up to
// 409 bytes of look-ahead; they are carried over between blocks, so a packet is
// processed once the start of the next one has arrived (or, in sync, when a
// block ends exactly with it and holds it whole, as the last read of a file does).
//
// Threads. One thread feeds at a time. Filters may be added and removed from any
// other thread while a feed runs: per-PID lists are changed under a lock and read
// without one, and a removed filter is freed only once no feed is running, so a
// feed that is walking a list never touches freed memory. A removed filter gets no
// further sections, except that a handler call already under way completes.
// Handlers may add or remove filters (also their own); no lock is held while a
// handler runs.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tapfeed::demux {

constexpr size_t kPacketSize = 188;
constexpr uint16_t kPidCount = 8192;
constexpr uint16_t kAllPids = 8192;         // filter PID that takes every PID
constexpr size_t kMaxSectionSize = 4096;

// Packet flags passed with each packet and each completed section.
constexpr uint32_t kFlagContinuityError = 1u << 0;
constexpr uint32_t kFlagTransportPriority = 1u << 5;
constexpr uint32_t kFlagPayloadUnitStart = 1u << 6;
constexpr uint32_t kFlagTransportError = 1u << 7;
// Bits 8-15: header byte 3 (scrambling, adaptation_field_control, continuity_counter).
// Bits 16-23: the adaptation field's flag byte when the field is not empty
// (discontinuity_indicator at bit 23).
constexpr uint32_t kFlagDiscontinuityIndicator = 1u << 23;

// Called with the whole section (from table_id to the end of CRC_32) and its length.
using SectionHandler = void (*)(void* context, uint16_t pid, uint32_t packetFlags, const uint8_t* section,
                                size_t length);

struct SectionFilter;

class SectionDemux {
 public:
  // A new demultiplexer with one reference; null when memory runs out.
  static SectionDemux* create(void* context);
  void addRef();
  // Frees the demultiplexer and every filter left when the last reference goes.
  // No feed may be running then.
  void release();

  void* context() const { return context_; }

  // Forgets continuity, carried bytes, sync and every partly assembled section.
  // Safe during a feed: it then takes effect when the next feed starts.
  void reset();

  // pid is 0..8191, or kAllPids for a filter that takes every PID. Null for a bad
  // PID, a null handler or no memory.
  SectionFilter* addSectionFilter(uint16_t pid, SectionHandler handler, void* context);
  // False when the filter is not a live filter of this demultiplexer (also for
  // one already removed); the pointer is only compared, never read, then.
  bool removeFilter(SectionFilter* filter);

  void feed(const uint8_t* bytes, size_t length);

  SectionDemux(const SectionDemux&) = delete;
  SectionDemux& operator=(const SectionDemux&) = delete;

 private:
  explicit SectionDemux(void* context);
  ~SectionDemux();

  static constexpr size_t kCarryCapacity = 512;

  size_t walk(const uint8_t* data, size_t size, bool endsBlock);
  int confirmStride(const uint8_t* data, size_t available) const;
  void processPacket(const uint8_t* packet);
  void assemble(SectionFilter& filter, const uint8_t* payload, size_t size, uint16_t pid, uint32_t flags);
  void collect(SectionFilter& filter, const uint8_t*& pos, const uint8_t* end, uint16_t pid, uint32_t flags,
               bool onlyCurrentSection);
  void applyReset();
  static void freeList(SectionFilter* head);
  void enterFeed();
  void leaveFeed();

  void* context_;
  std::atomic<int> refs_{1};

  // Writers (add, remove, reset, feed entry and exit) take this lock.
  std::mutex mutex_;
  std::vector<SectionFilter*> filters_;  // every live filter
  SectionFilter* retired_ = nullptr;     // removed, freed when no feed runs
  int activeFeeds_ = 0;
  bool resetPending_ = false;

  std::atomic<SectionFilter*> heads_[kPidCount + 1];

  // Feed state, touched by the feeding thread only.
  uint8_t continuity_[kPidCount];
  uint8_t carry_[kCarryCapacity];
  size_t carryLength_ = 0;
  size_t stride_ = 0;           // 188 or 204 while in sync, 0 while searching
  size_t preferredStride_ = kPacketSize;
};

}  // namespace tapfeed::demux
