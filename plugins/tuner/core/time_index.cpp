#include "time_index.h"

#include <algorithm>
#include <cstring>

#include "payload_cipher.h"
#include "ts_packets.h"

namespace tapfeed {

namespace {
constexpr uint64_t kJumpMs = 5000;
constexpr size_t kReservedEntries = 100000;
}  // namespace

PcrIndexScanner::PcrIndexScanner(size_t packetSize)
    : packetSize_(packetSize == kPacket204 ? kPacket204 : kPacket188), pcrPidSeen_(kPidCount, false) {
  entries_.reserve(1024);
}

uint64_t PcrIndexScanner::nextPlayTime(uint64_t pcr, uint64_t offset) const {
  const uint64_t gap = pcr - lastPcr_;  // unsigned on purpose: backwards is huge
  if (gap > kJumpMs) {
    if (pcr < lastPcr_) return lastPlay_;  // clock went backwards (splice)
    const uint64_t lastOffset = entries_.empty() ? 0 : entries_.back().offset;
    const int64_t gapRate = static_cast<int64_t>((offset - std::min(offset, lastOffset)) / gap);
    const int64_t average = static_cast<int64_t>(averageRate_);
    // A jump whose byte rate is more than twice the average so far (or any
    // bytes before an average exists) is a discontinuity, not elapsed time.
    if (average - gapRate != 0 && average / (average - gapRate) == 0) return lastPlay_;
  }
  return lastPlay_ + gap;
}

void PcrIndexScanner::addEntry(uint32_t pid, uint64_t pcr, uint64_t offset) {
  const uint64_t play = haveLast_ ? nextPlayTime(pcr, offset) : 0;
  lastPlay_ = play;
  lastPcr_ = pcr;
  haveLast_ = true;
  if (play != 0) averageRate_ = offset / play;
  entries_.push_back(IndexEntry{pid, offset, pcr, play});
}

size_t PcrIndexScanner::scan(const uint8_t* data, size_t length, uint64_t offset) {
  size_t pos = findSync(data, length);
  if (pos >= length) return length;  // nothing to sync on: drop it
  while (length - pos >= packetSize_) {
    const uint8_t* packet = data + pos;
    ++packets_;
    if (auto pcr = readPcr(packet, length - pos)) {
      const uint16_t pid = packetPid(packet);
      const uint64_t at = offset + pos;
      if (haveBase_) {
        if (static_cast<int32_t>(pid) == referencePid_) {
          if (pcr->milliseconds < basePcr_) basePcr_ = pcr->milliseconds;
          addEntry(pid, pcr->milliseconds, at);
        }
      } else if (referenceChosen_) {
        basePcr_ = pcr->milliseconds;
        haveBase_ = true;
        referencePid_ = pid;
        addEntry(pid, pcr->milliseconds, at);
      } else {
        // Learning: the first PCR PID seen a second time becomes the reference.
        referencePid_ = pid;
        if (pcrPidSeen_[pid]) {
          referenceChosen_ = true;
          haveBase_ = true;
          basePcr_ = pcr->milliseconds;
          addEntry(pid, pcr->milliseconds, 0);  // the index starts at the file start
        } else {
          pcrPidSeen_[pid] = true;
        }
      }
    }
    size_t next = pos + packetSize_;
    if (next < length && data[next] != kSyncByte) next = findSync(data, length, next);
    pos = next;
    if (pos >= length) return length;
  }
  return pos;
}

TimeIndex::~TimeIndex() { stop(); }

bool TimeIndex::start(const plat::String16& devicePath, size_t packetSize, const uint8_t* key) {
  stop();
  {
    std::lock_guard<std::mutex> guard(lock_);
    entries_.clear();
    entries_.reserve(kReservedEntries);
  }
  file_.close();
  if (plat::failed(file_.open(devicePath, plat::FileAccess::Read, plat::FileDisposition::OpenExisting)))
    file_.close();
  const bool encrypted = key != nullptr;
  if (encrypted) std::memcpy(key_, key, sizeof key_);
  stopRequested_ = false;
  done_ = false;
  try {
    thread_ = plat::Thread("tapfeed-index", [this, packetSize, encrypted] { run(packetSize, encrypted); });
  } catch (...) {
    done_ = true;
    return false;
  }
  return true;
}

void TimeIndex::stop() {
  stopRequested_ = true;
  thread_.join();
  done_ = true;
}

void TimeIndex::waitUntilDone() { thread_.join(); }

void TimeIndex::run(size_t packetSize, bool encrypted) {
  struct DoneMark {
    std::atomic<bool>& done;
    ~DoneMark() { done = true; }
  } mark{done_};

  uint64_t fileSize = 0;
  if (!file_.isOpen() || plat::failed(file_.size(&fileSize)) || fileSize == 0) return;

  // Strides are whole cipher units, so every sample of an encrypted file
  // starts on a unit boundary.
  uint64_t stride = std::max<uint64_t>(fileSize / 16, kSampleBytes);
  stride -= stride % kCipherUnit;

  std::unique_ptr<PayloadDecryptor> decryptor;
  if (encrypted) decryptor = std::make_unique<PayloadDecryptor>(key_);

  std::vector<uint8_t> buffer(kSampleBytes + kCipherUnit);
  PcrIndexScanner scanner(packetSize);
  size_t published = 0;
  uint64_t bufferOffset = 0;  // file offset of buffer[0]
  uint64_t sampleStart = 0;   // file offset where the current run of reads began
  size_t leftover = 0;

  while (!stopRequested_) {
    size_t want = kSampleBytes - leftover;
    want -= want % kPacket188;
    size_t got = 0;
    if (want == 0 || plat::failed(file_.read(buffer.data() + leftover, want, &got)) || got == 0) break;
    size_t produced = got;
    if (decryptor) {
      const uint8_t* out = nullptr;
      const int64_t n = decryptor->process(buffer.data() + leftover, got, &out);
      if (n < 0) break;
      produced = static_cast<size_t>(n);
      std::memcpy(buffer.data() + leftover, out, produced);
    }
    const size_t usable = leftover + produced;
    const size_t consumed = scanner.scan(buffer.data(), usable, bufferOffset);

    auto& found = scanner.entries();
    if (found.size() > published) {
      std::lock_guard<std::mutex> guard(lock_);
      entries_.insert(entries_.end(), found.begin() + published, found.end());
      published = found.size();
    }

    // Sequential once the last two strides are reached, so the end of the
    // file is read completely and the duration covers it.
    if (fileSize - sampleStart < 2 * stride) {
      bufferOffset += consumed;
      leftover = usable - consumed;
      std::memmove(buffer.data(), buffer.data() + consumed, leftover);
    } else {
      sampleStart += stride;
      bufferOffset = sampleStart;
      leftover = 0;
      if (decryptor) decryptor->resetLeftover();
      if (plat::failed(file_.seek(static_cast<int64_t>(sampleStart), plat::SeekOrigin::Begin))) break;
    }
  }
}

uint64_t TimeIndex::durationMs() const {
  std::lock_guard<std::mutex> guard(lock_);
  return entries_.empty() ? 0 : entries_.back().playMs;
}

uint64_t TimeIndex::positionMs(uint64_t streamOffset) const {
  std::lock_guard<std::mutex> guard(lock_);
  for (const auto& e : entries_)
    if (e.offset >= streamOffset) return e.playMs;
  return 0;
}

std::optional<uint64_t> TimeIndex::offsetForTime(uint64_t targetMs) const {
  std::lock_guard<std::mutex> guard(lock_);
  if (entries_.empty()) return std::nullopt;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const IndexEntry& e1 = entries_[i];
    if (e1.playMs < targetMs) continue;
    if (i == 0) return e1.offset;
    const IndexEntry& e0 = entries_[i - 1];
    if (e1.playMs == e0.playMs || e1.offset <= e0.offset) return e0.offset;
    // 64-bit arithmetic: hours of milliseconds times gigabytes stays far below 2^64.
    const uint64_t span = (targetMs - e0.playMs) * (e1.offset - e0.offset);
    return e0.offset + span / (e1.playMs - e0.playMs);
  }
  return entries_.back().offset;
}

std::vector<IndexEntry> TimeIndex::snapshot() const {
  std::lock_guard<std::mutex> guard(lock_);
  return entries_;
}

}  // namespace tapfeed
