// Time index of a transport-stream file: a background thread samples the file
// (about sixteen samples spread evenly, then the last two strides whole),
// follows the PCR of one reference program and records pairs of byte offset
// and accumulated play time. Duration, position and seeking read the entries.
//
// Encrypted recordings are indexed on decrypted data: sample offsets are
// multiples of the cipher unit, and each run of sequential reads goes
// through its own decryptor, so the index sees the same PCRs as the player.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "plat/file.h"
#include "plat/thread.h"

namespace tapfeed {

struct IndexEntry {
  uint32_t pid;
  uint64_t offset;
  uint64_t pcrMs;
  uint64_t playMs;
};

// The scanning rules, without threads or files (fuzzed and tested alone).
class PcrIndexScanner {
 public:
  explicit PcrIndexScanner(size_t packetSize);

  // Scans whole packets of data (data[0] is at file offset `offset`) and
  // returns the number of bytes consumed: everything up to the first packet
  // that is not complete, which the caller keeps for the next call.
  size_t scan(const uint8_t* data, size_t length, uint64_t offset);

  const std::vector<IndexEntry>& entries() const { return entries_; }
  std::vector<IndexEntry>& entries() { return entries_; }
  uint64_t packetsExamined() const { return packets_; }

 private:
  void addEntry(uint32_t pid, uint64_t pcr, uint64_t offset);
  uint64_t nextPlayTime(uint64_t pcr, uint64_t offset) const;

  size_t packetSize_;
  bool referenceChosen_ = false;
  bool haveBase_ = false;
  int32_t referencePid_ = -1;
  uint64_t basePcr_ = 0;
  bool haveLast_ = false;
  uint64_t lastPcr_ = 0;
  uint64_t lastPlay_ = 0;
  uint64_t averageRate_ = 0;  // bytes per millisecond
  uint64_t packets_ = 0;
  std::vector<bool> pcrPidSeen_;
  std::vector<IndexEntry> entries_;
};

class TimeIndex {
 public:
  TimeIndex() = default;
  ~TimeIndex();  // stops the thread
  TimeIndex(const TimeIndex&) = delete;
  TimeIndex& operator=(const TimeIndex&) = delete;

  // Opens its own handle on the file and starts the index thread. key: null
  // for a clear file. Returns false when the thread cannot start.
  bool start(const plat::String16& devicePath, size_t packetSize, const uint8_t* key);
  // Asks the thread to stop after the current sample and joins it.
  void stop();
  // Waits until the thread has finished its pass (tests, benchmark).
  void waitUntilDone();
  bool done() const { return done_.load(); }

  uint64_t durationMs() const;
  // Play time of the first entry at or after the byte offset; 0 when none.
  uint64_t positionMs(uint64_t streamOffset) const;
  // Byte offset for a play time. Interpolates between the entries around the
  // target; a target past the last entry maps to the last entry's offset.
  // nullopt while the index is empty.
  std::optional<uint64_t> offsetForTime(uint64_t targetMs) const;
  std::vector<IndexEntry> snapshot() const;

  static constexpr size_t kSampleBytes = 191760;  // 1020 packets of 188 bytes

 private:
  void run(size_t packetSize, bool encrypted);

  plat::File file_;
  uint8_t key_[16] = {};
  mutable std::mutex lock_;
  std::vector<IndexEntry> entries_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> done_{true};
  plat::Thread thread_;
};

}  // namespace tapfeed
