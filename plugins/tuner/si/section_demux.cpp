#include "si/section_demux.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tapfeed::demux {

struct SectionFilter {
  uint16_t pid = 0;
  SectionHandler handler = nullptr;
  void* context = nullptr;
  std::atomic<SectionFilter*> next{nullptr};
  std::atomic<bool> removed{false};
  SectionFilter* retiredNext = nullptr;  // link in the list waiting to be freed
  // Assembly: phase 0 waits for a section start, 1 reads the 3 header bytes,
  // 3 reads the rest.
  int phase = 0;
  size_t collected = 0;
  size_t needed = 0;
  uint8_t buffer[kMaxSectionSize];

  void drop() {
    phase = 0;
    collected = 0;
  }
};

namespace {
constexpr uint8_t kSyncByte = 0x47;
constexpr size_t kPaddedPacketSize = 204;
constexpr size_t kMaxSectionLength = 4093;
}  // namespace

SectionDemux* SectionDemux::create(void* context) {
  auto* demux = new (std::nothrow) SectionDemux(context);
  if (demux != nullptr) demux->reset();
  return demux;
}

SectionDemux::SectionDemux(void* context) : context_(context) {
  for (auto& head : heads_) head.store(nullptr, std::memory_order_relaxed);
  std::memset(continuity_, 0xFF, sizeof continuity_);
}

SectionDemux::~SectionDemux() {
  for (SectionFilter* f : filters_) delete f;
  freeList(retired_);
}

void SectionDemux::freeList(SectionFilter* head) {
  while (head != nullptr) {
    SectionFilter* next = head->retiredNext;
    delete head;
    head = next;
  }
}

void SectionDemux::addRef() { refs_.fetch_add(1, std::memory_order_relaxed); }

void SectionDemux::release() {
  if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

void SectionDemux::applyReset() {
  std::memset(continuity_, 0xFF, sizeof continuity_);
  carryLength_ = 0;
  stride_ = 0;
  for (SectionFilter* f : filters_) f->drop();
}

void SectionDemux::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (activeFeeds_ == 0) {
    applyReset();
    resetPending_ = false;
  } else {
    resetPending_ = true;
  }
}

SectionFilter* SectionDemux::addSectionFilter(uint16_t pid, SectionHandler handler, void* context) {
  if (pid > kAllPids || handler == nullptr) return nullptr;
  auto* filter = new (std::nothrow) SectionFilter;
  if (filter == nullptr) return nullptr;
  filter->pid = pid;
  filter->handler = handler;
  filter->context = context;
  std::lock_guard<std::mutex> lock(mutex_);
  try {
    filters_.push_back(filter);
  } catch (const std::bad_alloc&) {
    delete filter;
    return nullptr;
  }
  // Append at the tail so filters of one PID see sections in the order added;
  // the release store publishes the fully built filter to a running feed.
  std::atomic<SectionFilter*>* link = &heads_[pid];
  while (SectionFilter* f = link->load(std::memory_order_relaxed)) link = &f->next;
  link->store(filter, std::memory_order_release);
  return filter;
}

bool SectionDemux::removeFilter(SectionFilter* filter) {
  if (filter == nullptr) return false;
  bool freeNow = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Look the pointer up before touching it: it may be stale or foreign.
    auto it = std::find(filters_.begin(), filters_.end(), filter);
    if (it == filters_.end()) return false;
    filters_.erase(it);
    filter->removed.store(true, std::memory_order_release);
    // Unlink; the filter keeps its own next pointer so a feed standing on it
    // can still walk on.
    std::atomic<SectionFilter*>* link = &heads_[filter->pid];
    while (SectionFilter* f = link->load(std::memory_order_relaxed)) {
      if (f == filter) {
        link->store(filter->next.load(std::memory_order_relaxed), std::memory_order_release);
        break;
      }
      link = &f->next;
    }
    if (activeFeeds_ == 0) {
      freeNow = true;
    } else {
      filter->retiredNext = retired_;
      retired_ = filter;
    }
  }
  if (freeNow) delete filter;
  return true;
}

void SectionDemux::enterFeed() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (resetPending_ && activeFeeds_ == 0) {
    applyReset();
    resetPending_ = false;
  }
  ++activeFeeds_;
}

void SectionDemux::leaveFeed() {
  SectionFilter* toFree = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--activeFeeds_ == 0) {
      toFree = retired_;
      retired_ = nullptr;
    }
  }
  freeList(toFree);
}

void SectionDemux::feed(const uint8_t* bytes, size_t length) {
  if (bytes == nullptr || length == 0) return;
  enterFeed();
  size_t offset = 0;
  // Bytes carried from the last block come first: extend them with the start of
  // this block and walk the joined bytes until the walk moves into this block.
  while (carryLength_ > 0 && offset < length) {
    const size_t old = carryLength_;
    const size_t take = std::min(length - offset, kCarryCapacity - old);
    std::memcpy(carry_ + old, bytes + offset, take);
    const size_t total = old + take;
    // Joined bytes are never a whole block: every packet here waits for the
    // start of the next one.
    const size_t stop = walk(carry_, total, false);
    if (stop >= old) {
      offset += stop - old;
      carryLength_ = 0;
      break;
    }
    // A full carry buffer always lets the walk move on; should it not, drop a
    // byte rather than loop.
    const size_t from = (take == 0 && stop == 0) ? 1 : stop;
    std::memmove(carry_, carry_ + from, total - from);
    carryLength_ = total - from;
    offset += take;
  }
  if (carryLength_ == 0 && offset < length) {
    size_t stop = walk(bytes + offset, length - offset, true);
    // The walk never leaves more than the look-ahead it needs; keep the carry
    // bounded even so.
    if (length - offset - stop > kCarryCapacity) stop = length - offset - kCarryCapacity;
    carryLength_ = length - offset - stop;
    std::memcpy(carry_, bytes + offset + stop, carryLength_);
  }
  leaveFeed();
}

// Checks a candidate sync byte: a stride is confirmed when the bytes one and two
// strides on are sync bytes too. Returns the confirmed stride, 0 when neither
// stride fits, or -1 when more bytes are needed to decide.
int SectionDemux::confirmStride(const uint8_t* data, size_t available) const {
  const size_t order[2] = {preferredStride_, preferredStride_ == kPacketSize ? kPaddedPacketSize : kPacketSize};
  for (size_t stride : order) {
    if (available > stride && data[stride] != kSyncByte) continue;
    if (available <= 2 * stride) return -1;
    if (data[2 * stride] == kSyncByte) return static_cast<int>(stride);
  }
  return 0;
}

// Walks bytes, processing every whole packet. Returns the offset of the first
// byte that needs more data (size when everything was used).
size_t SectionDemux::walk(const uint8_t* data, size_t size, bool endsBlock) {
  size_t pos = 0;
  while (pos < size) {
    if (stride_ != 0) {
      if (data[pos] != kSyncByte) {
        stride_ = 0;  // lost sync: search again from the next byte
        ++pos;
        continue;
      }
      // The next packet must start one stride on; else this one is suspect
      // (bytes lost or inserted) and sync is searched again. Waiting for that
      // byte also keeps the padding of 204-byte packets out of the search.
      // A block that ends exactly with a packet that lies wholly inside it (a
      // file's last read) cannot show the next start; that packet is taken as
      // it stands at the stride.
      if (size - pos < stride_ || (size - pos == stride_ && !endsBlock)) return pos;
      if (size - pos > stride_ && data[pos + stride_] != kSyncByte) {
        stride_ = 0;
        ++pos;
        continue;
      }
      processPacket(data + pos);
      pos += stride_;
      continue;
    }
    if (data[pos] != kSyncByte) {
      ++pos;
      continue;
    }
    const int stride = confirmStride(data + pos, size - pos);
    if (stride < 0) return pos;
    if (stride == 0) {
      ++pos;
      continue;
    }
    // Padding made of sync bytes confirms at every position of its run; the
    // packet starts at the last position of the run that still confirms.
    size_t start = pos;
    while (start + 1 < size && data[start + 1] == kSyncByte) {
      const int next = confirmStride(data + start + 1, size - start - 1);
      if (next < 0 && size - pos < kCarryCapacity) return pos;  // wait to see where the run ends
      if (next != stride) break;
      ++start;
    }
    pos = start;
    stride_ = static_cast<size_t>(stride);
    preferredStride_ = stride_;
  }
  return pos;
}

void SectionDemux::processPacket(const uint8_t* packet) {
  const uint16_t pid = static_cast<uint16_t>((packet[1] & 0x1F) << 8 | packet[2]);
  SectionFilter* first = heads_[pid].load(std::memory_order_acquire);
  SectionFilter* every = heads_[kAllPids].load(std::memory_order_acquire);
  if (first == nullptr && every == nullptr) return;

  uint32_t flags = static_cast<uint32_t>(packet[1] & 0xE0) | static_cast<uint32_t>(packet[3]) << 8;
  const uint8_t control = packet[3] & 0x30;
  const bool hasPayload = (control & 0x10) != 0;
  size_t payloadStart = 4;
  if (control & 0x20) {
    const size_t fieldLength = packet[4];
    if (fieldLength > 183) return;
    if (fieldLength != 0) flags |= static_cast<uint32_t>(packet[5]) << 16;
    payloadStart = 5 + fieldLength;
  } else if (!hasPayload) {
    return;
  }
  // A packet with only an adaptation field carries no payload: its stuffing is
  // never section data.
  const size_t payloadSize = hasPayload ? kPacketSize - payloadStart : 0;

  const uint8_t counter = packet[3] & 0x0F;
  const uint8_t expectedPrevious = hasPayload ? static_cast<uint8_t>((counter - 1) & 0x0F) : counter;
  if (continuity_[pid] != expectedPrevious) flags |= kFlagContinuityError;
  continuity_[pid] = counter;

  if (payloadSize == 0) return;
  const uint8_t* payload = packet + payloadStart;
  for (SectionFilter* f = first; f != nullptr; f = f->next.load(std::memory_order_acquire)) {
    assemble(*f, payload, payloadSize, pid, flags);
  }
  for (SectionFilter* f = every; f != nullptr; f = f->next.load(std::memory_order_acquire)) {
    assemble(*f, payload, payloadSize, pid, flags);
  }
}

void SectionDemux::assemble(SectionFilter& filter, const uint8_t* payload, size_t size, uint16_t pid,
                            uint32_t flags) {
  if (filter.removed.load(std::memory_order_acquire)) return;
  const uint8_t* pos = payload;
  const uint8_t* const end = payload + size;
  if (flags & kFlagPayloadUnitStart) {
    const size_t pointer = payload[0];
    if (pointer > size - 1) {
      filter.drop();
      return;
    }
    const uint8_t* const newStart = payload + 1 + pointer;
    if (filter.phase != 0) {
      // The bytes before the new section are the end of the one in progress.
      // If they do not complete it, it lost data: drop it rather than fill it
      // with the new section's bytes.
      pos = payload + 1;
      collect(filter, pos, newStart, pid, flags, true);
      if (filter.phase != 0) filter.drop();
    }
    pos = newStart;
  } else if (filter.phase == 0) {
    return;
  }
  collect(filter, pos, end, pid, flags, false);
}

void SectionDemux::collect(SectionFilter& filter, const uint8_t*& pos, const uint8_t* end, uint16_t pid,
                           uint32_t flags, bool onlyCurrentSection) {
  while (pos < end) {
    if (filter.phase == 0) {
      if (onlyCurrentSection || *pos == 0xFF) return;  // stuffing ends the packet
      filter.phase = 1;
      filter.collected = 0;
    }
    if (filter.phase == 1) {
      const size_t take = std::min<size_t>(3 - filter.collected, static_cast<size_t>(end - pos));
      std::memcpy(filter.buffer + filter.collected, pos, take);
      filter.collected += take;
      pos += take;
      if (filter.collected < 3) return;
      const size_t sectionLength = static_cast<size_t>((filter.buffer[1] & 0x0F) << 8 | filter.buffer[2]);
      filter.needed = std::min(sectionLength, kMaxSectionLength) + 3;
      filter.phase = 3;
    }
    const size_t missing = filter.needed - filter.collected;
    const size_t available = static_cast<size_t>(end - pos);
    if (available < missing) {
      std::memcpy(filter.buffer + filter.collected, pos, available);
      filter.collected += available;
      pos = end;
      return;
    }
    std::memcpy(filter.buffer + filter.collected, pos, missing);
    pos += missing;
    const size_t length = filter.needed;
    filter.drop();
    if (!filter.removed.load(std::memory_order_acquire)) {
      filter.handler(filter.context, pid, flags, filter.buffer, length);
    }
  }
}

}  // namespace tapfeed::demux
