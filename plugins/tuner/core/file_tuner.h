// The file tuner object: plays a recorded transport-stream file as if it came
// from a tuner. One streaming thread per object (from Open to Close) reads the
// file in 512 KiB chunks, decrypts them when a key file is present, filters
// the requested PIDs, paces the output by the stream's PCR and hands the
// bytes to the engine's data callback. A time index per tuned file supplies
// duration, position and seeking.
//
// Stopping is a hand-shake: Untune, seeking and Close ask the streaming
// thread to pause and wait until it reports that it holds no chunk, so the
// file, the decryptor and the index are never changed under it.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "packet_filter.h"
#include "payload_cipher.h"
#include "plat/file.h"
#include "plat/thread.h"
#include "tapfeed/tuner_abi.h"
#include "time_index.h"

namespace tapfeed {

// Time for PCR pacing: the tick and the sleep. Tests install one that records
// the sleeps and moves a virtual clock instead of sleeping.
class PacingClock {
 public:
  virtual ~PacingClock() = default;
  virtual uint64_t nowMs() = 0;
  virtual void sleepMs(uint32_t ms) = 0;
};

class FileTuner;

// Mode 1 (IP datacast): the IP machinery receives the raw stream and answers
// the IP operations of the table. It is created when mode 1 is opened and
// released at Close. Every operation it does not implement is not supported.
class IpModeSink {
 public:
  virtual ~IpModeSink() = default;
  virtual void feed(const uint8_t* data, size_t length) = 0;
  virtual int32_t startIpScan(void* request) { return kTapfeedNotSupported; }
  virtual int32_t getIpPlatforms(void* entries, uint32_t* count) { return kTapfeedNotSupported; }
  virtual int32_t addIpStreamFilter(void* filter, void* callback, void* context) { return kTapfeedNotSupported; }
  virtual int32_t removeIpStreamFilter(void* filter) { return kTapfeedNotSupported; }
  virtual int32_t addIpSectionFilter(void* filter, void* callback, void* context) { return kTapfeedNotSupported; }
  virtual int32_t removeIpSectionFilter(void* filter) { return kTapfeedNotSupported; }
  // GetParam 0x10009 and 0x1000C.
  virtual int32_t getParam(TapfeedParam* param) { return kTapfeedNotSupported; }
  // Called at Close before the sink is released (stops the IP mode).
  virtual void stop() {}
};
using IpModeFactory = std::function<std::unique_ptr<IpModeSink>(FileTuner& tuner)>;

// The operation table every file tuner object starts with.
extern const TapfeedTunerOps kFileTunerOps;

class FileTuner : public TapfeedTuner {
 public:
  static constexpr size_t kReadSize = 524288;  // one read per cycle
  static constexpr size_t kHeadroom = 204;     // carried-over partial packet
  // The data area also takes the decryptor's largest output (a read plus the
  // bytes it held back from the previous one).
  static constexpr size_t kDataArea = kReadSize + kCipherUnit;

  FileTuner();
  ~FileTuner();
  FileTuner(const FileTuner&) = delete;
  FileTuner& operator=(const FileTuner&) = delete;

  // Operations (the table in exports.cpp forwards to these).
  int32_t open(const TapfeedDeviceInfo* info, int32_t mode);
  int32_t close();
  int32_t tune(TapfeedTuneRequest* request);
  int32_t untune();
  int32_t getSourceType(uint32_t* out) const;
  int32_t setParam(TapfeedParam* param);
  int32_t getParam(TapfeedParam* param);
  int32_t isSameTarget(const TapfeedTuneRequest* request);
  int32_t addPid(uint32_t pid);
  int32_t removePid(uint32_t pid);
  intptr_t notify(uint32_t code, uintptr_t a, uintptr_t b);
  // The IP sink of mode 1, or null in other modes.
  IpModeSink* ipMode() { return mode_ == 1 ? ipSink_.get() : nullptr; }
  void setUserValueB(int32_t value) { userValueB_ = value; }
  int32_t userValueB() const { return userValueB_; }

  // Hooks for the host process and tests.
  void setPacingClock(PacingClock* clock);  // null: the platform clock
  void setIpModeFactory(IpModeFactory factory);
  size_t packetSize() const { return packetSize_.load(); }
  TimeIndex* timeIndex() { return index_.get(); }  // valid while tuned
  int32_t state() const { return state_.load(); }

  static void fillDeviceInfo(TapfeedDeviceInfo* info);
  static int32_t sourceTypeOfMode(int32_t mode);

 private:
  class Pacer;

  // Streaming thread.
  void streamLoop();
  void runCycle();
  void deliver(const uint8_t* data, size_t length, size_t* unconsumed);
  bool keepGoing() const;  // the cycle may go on (not paused, still streaming)
  void idleWait(uint32_t ms);
  void refreshPidSet();

  // Hand-shake with the streaming thread.
  void pauseStreaming();
  void resumeStreaming();
  void stopStreaming();

  int32_t seekTo(uint64_t timeMs);
  bool filteredMode() const { return mode_ == 0 || mode_ == 2 || mode_ == 3 || mode_ == 5; }
  void detectPacketSizeLocked();
  void loadKey();

  // Base part.
  std::recursive_mutex opMutex_;  // serialises the engine's calls
  std::atomic<int32_t> state_{0};
  int32_t mode_ = -1;
  TapfeedDeviceInfo info_{};
  uint32_t tuningValue0_ = 0;
  uint32_t tuningValue1_ = 0;
  char16_t* requestPath_ = nullptr;
  uint32_t requestFlags_ = 0;
  std::mutex callbackMutex_;  // callbacks are copied under it and called without it
  TapfeedDataCallback dataCallback_ = nullptr;
  void* dataContext_ = nullptr;
  TapfeedEventCallback eventCallback_ = nullptr;
  void* eventContext_ = nullptr;
  TapfeedFileNameCallback fileNameCallback_ = nullptr;
  void* fileNameContext_ = nullptr;
  int32_t userValueA_ = 1;
  std::atomic<int32_t> userValueB_{1};

  // File part. fileMutex_ guards the file, the path and the position.
  std::recursive_mutex fileMutex_;
  plat::File file_;
  plat::String16 path_;
  uint64_t position_ = 0;
  bool restartPending_ = false;  // drop carry-over and cipher leftover before the next read
  bool endReported_ = false;

  // Flow control between the engine's calls and the streaming thread.
  std::mutex flowMutex_;
  std::condition_variable flowCv_;
  bool running_ = false;    // the thread stays alive
  bool streaming_ = false;  // the thread reads
  bool paused_ = false;     // a seek or stop waits for the thread
  bool threadIdle_ = true;  // the thread holds no chunk
  std::atomic<bool> stopFlag_{true};  // !streaming_ || paused_ || !running_, for the hot loops
  plat::Thread thread_;

  std::unique_ptr<uint8_t[]> chunk_;  // kHeadroom + kDataArea
  size_t carry_ = 0;                  // bytes in front of the data area

  // Active PID list (engine order, duplicates allowed) and the set the
  // streaming thread filters with.
  std::mutex pidMutex_;
  std::vector<uint16_t> activePids_;
  std::array<uint16_t, 8192> pidCounts_{};
  std::atomic<uint64_t> pidVersion_{1};
  uint64_t pidVersionSeen_ = 0;
  PidSet pidSet_;

  std::atomic<bool> pacing_{false};
  std::atomic<bool> partialDelivery_{false};
  std::atomic<bool> loop_{false};
  std::atomic<size_t> packetSize_{188};

  uint8_t key_[16] = {};
  bool keyLoaded_ = false;
  std::unique_ptr<PayloadDecryptor> decryptor_;
  std::unique_ptr<TimeIndex> index_;
  std::unique_ptr<Pacer> pacer_;
  PacingClock* pacingClock_ = nullptr;

  IpModeFactory ipFactory_;
  std::unique_ptr<IpModeSink> ipSink_;
};

// Key-file path of a played file: the last component's extension replaced
// by ".key"; empty when the last component has no dot.
plat::String16 keyPathFor(plat::StringView16 path);

}  // namespace tapfeed
