#include "file_tuner.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "plat/clock.h"
#include "plat/text.h"
#include "ts_packets.h"

namespace tapfeed {

namespace {

constexpr char kDeviceName[] = "Norvale File Tuner";
constexpr uint32_t kIdleMs = 20;
constexpr uint32_t kNoCallbackWaitMs = 100;
constexpr uint32_t kLoopRetryMs = 100;
constexpr uint32_t kMaxPaceSleepMs = 100;
constexpr uint64_t kMaxPcrLeadMs = 5000;
constexpr size_t kMaxActivePids = 8192;
constexpr int32_t kSignalLevel = 5;

class SystemPacingClock final : public PacingClock {
 public:
  uint64_t nowMs() override { return plat::tickCount(); }
  void sleepMs(uint32_t ms) override { plat::sleepMs(ms); }
};

SystemPacingClock& systemPacingClock() {
  static SystemPacingClock clock;
  return clock;
}

template <typename Fn>
Fn functionFrom(void* p) {
  Fn fn;
  static_assert(sizeof fn == sizeof p);
  std::memcpy(&fn, &p, sizeof fn);
  return fn;
}

bool modeAllowed(const TapfeedDeviceInfo& info, int32_t mode) {
  if (mode < 0 || mode > 10 || mode == 4) return false;
  return (info.capabilityMask >> mode) & 1u;
}

}  // namespace

plat::String16 keyPathFor(plat::StringView16 path) {
  const size_t slash = path.find_last_of(u"\\/");
  const size_t nameStart = slash == plat::StringView16::npos ? 0 : slash + 1;
  const size_t dot = path.rfind(u'.');
  if (dot == plat::StringView16::npos || dot < nameStart) return {};
  return plat::String16(path.substr(0, dot)) + u".key";
}

// PCR pacing: learns the PCR PIDs until one repeats, locks on the next PCR
// of that PID and then holds each packet back until the wall clock has caught
// up with the stream clock. Output made so far is delivered before waiting.
class FileTuner::Pacer final : public PacketHook {
 public:
  explicit Pacer(FileTuner& tuner) : tuner_(tuner) {}

  void reset() {
    haveBase_ = false;
    phase_ = 0;
    basePcr_ = 0;
    baseTick_ = 0;
    referencePid_ = -1;
    seen_.fill(0);
  }

  bool onPacket(const uint8_t* packet, size_t available, const uint8_t* pending, size_t pendingLength) override {
    const auto pcr = readPcr(packet, available);
    if (!pcr) return false;
    PacingClock& clock = tuner_.pacingClock_ ? *tuner_.pacingClock_ : systemPacingClock();
    const uint16_t pid = packetPid(packet);
    if (!haveBase_) {
      if (phase_ < 2) {
        referencePid_ = pid;
        baseTick_ = clock.nowMs();
        if (seen_[pid]) phase_ = 2;
        seen_[pid] = 1;  // a PID is listed once however often it is seen
      } else {
        rebase(pcr->milliseconds, clock.nowMs(), pid);
      }
      return false;
    }
    if (pid != referencePid_) return false;
    uint64_t now = clock.nowMs();
    // Backwards, marked discontinuous, or so far ahead that waiting would
    // stall playback: take this PCR as the new base instead of sleeping.
    if (pcr->milliseconds <= basePcr_ || pcr->discontinuity ||
        (pcr->milliseconds - basePcr_) > (now - baseTick_) + kMaxPcrLeadMs) {
      rebase(pcr->milliseconds, now, pid);
      return false;
    }
    const uint64_t streamElapsed = pcr->milliseconds - basePcr_;
    if (streamElapsed <= now - baseTick_) return false;
    bool delivered = false;
    if (pendingLength > 0) {
      size_t unconsumed = 0;
      tuner_.deliver(pending, pendingLength, &unconsumed);
      delivered = true;
    }
    // Sleep in short steps so a pause or stop is seen quickly.
    while (tuner_.keepGoing()) {
      now = clock.nowMs();
      const uint64_t wallElapsed = now - baseTick_;
      if (streamElapsed <= wallElapsed) break;
      clock.sleepMs(static_cast<uint32_t>(std::min<uint64_t>(streamElapsed - wallElapsed, kMaxPaceSleepMs)));
    }
    return delivered;
  }

 private:
  void rebase(uint64_t pcr, uint64_t now, uint16_t pid) {
    haveBase_ = true;
    basePcr_ = pcr;
    baseTick_ = now;
    referencePid_ = pid;
  }

  FileTuner& tuner_;
  bool haveBase_ = false;
  int phase_ = 0;
  uint64_t basePcr_ = 0;
  uint64_t baseTick_ = 0;
  int32_t referencePid_ = -1;
  std::array<uint8_t, kPidCount> seen_{};
};

FileTuner::FileTuner() {
  ops = &kFileTunerOps;
  chunk_.reset(new uint8_t[kHeadroom + kDataArea]);
  pacer_ = std::make_unique<Pacer>(*this);
}

FileTuner::~FileTuner() { close(); }

void FileTuner::fillDeviceInfo(TapfeedDeviceInfo* info) {
  std::memset(info, 0, sizeof *info);
  plat::copyBounded(info->name, sizeof info->name, kDeviceName);
  plat::copyBounded(info->secondName, sizeof info->secondName, kDeviceName);
  info->capabilityMask = kTapfeedCapabilityMask;
  info->deviceFlag = 1;
}

int32_t FileTuner::sourceTypeOfMode(int32_t mode) {
  switch (mode) {
    case 0: return 0x40000029;
    case 1: return 57;
    case 2: return 0x4000000D;
    case 3: return 0x4000000B;
    case 5: return 0x4000000D;
    case 10: return 0x40000007;
    default: return 0;
  }
}

void FileTuner::setPacingClock(PacingClock* clock) {
  std::lock_guard<std::recursive_mutex> op(opMutex_);
  pauseStreaming();
  pacingClock_ = clock;
  resumeStreaming();
}

void FileTuner::setIpModeFactory(IpModeFactory factory) {
  std::lock_guard<std::recursive_mutex> op(opMutex_);
  ipFactory_ = std::move(factory);
}

// ---- lifecycle ---------------------------------------------------------------

int32_t FileTuner::open(const TapfeedDeviceInfo* info, int32_t mode) {
  std::lock_guard<std::recursive_mutex> op(opMutex_);
  // A second Open would start a second streaming thread over the same buffers.
  if (state_ != 0) return kTapfeedWrongState;
  TapfeedDeviceInfo own;
  fillDeviceInfo(&own);
  const TapfeedDeviceInfo& use = info ? *info : own;
  if (!modeAllowed(use, mode)) return kTapfeedNotSupported;
  if (mode == 1) {
    if (!ipFactory_) return kTapfeedFailed;
    ipSink_ = ipFactory_(*this);
    if (!ipSink_) return kTapfeedFailed;
  }
  mode_ = mode;
  {
    std::lock_guard<std::mutex> flow(flowMutex_);
    running_ = true;
    streaming_ = false;
    paused_ = false;
    threadIdle_ = true;
    stopFlag_ = true;
  }
  try {
    thread_ = plat::Thread("tapfeed-stream", [this] { streamLoop(); });
  } catch (...) {
    {
      std::lock_guard<std::mutex> flow(flowMutex_);
      running_ = false;
    }
    ipSink_.reset();
    mode_ = -1;
    return kTapfeedFailed;
  }
  info_ = use;
  state_ = 1;
  return kTapfeedOk;
}

int32_t FileTuner::close() {
  std::lock_guard<std::recursive_mutex> op(opMutex_);
  if (state_ == 0) return kTapfeedOk;
  if (ipSink_) ipSink_->stop();
  untune();
  state_ = 0;
  mode_ = -1;
  std::memset(&info_, 0, sizeof info_);
  {
    std::lock_guard<std::mutex> flow(flowMutex_);
    running_ = false;
    stopFlag_ = true;
  }
  flowCv_.notify_all();
  thread_.join();
  ipSink_.reset();
  index_.reset();
  return kTapfeedOk;
}

int32_t FileTuner::isSameTarget(const TapfeedTuneRequest* request) {
  std::lock_guard<std::recursive_mutex> op(opMutex_);
  if (!request || !request->path || request->path[0] == 0) return 0;
  const size_t length = plat::boundedLength(request->path, kTapfeedPathCapacity);
  if (length >= kTapfeedPathCapacity) return 0;
  std::lock_guard<std::recursive_mutex> file(fileMutex_);
  return plat::equalsNoCase(plat::StringView16(request->path, length), path_) ? 1 : 0;
}

int32_t FileTuner::tune(TapfeedTuneRequest* request) {
  std::lock_guard<std::recursive_mutex> op(opMutex_);
  if (!request) return kTapfeedBadArgument;
  if (state_ == 0) return kTapfeedWrongState;  // no streaming thread before Open
  if (state_ == 3) {
    if (isSameTarget(request) == 1) return kTapfeedOk;
    untune();
  }

  plat::String16 path;
  if (request->path && request->path[0] != 0) {
    const size_t length = plat::boundedLength(request->path, kTapfeedPathCapacity);
    if (length >= kTapfeedPathCapacity) return kTapfeedBadArgument;
    path.assign(request->path, length);
  } else {
    TapfeedFileNameCallback callback;
    void* context;
    {
      std::lock_guard<std::mutex> guard(callbackMutex_);
      callback = fileNameCallback_;
      context = fileNameContext_;
    }
    if (!callback) return kTapfeedBadArgument;
    char16_t buffer[kTapfeedPathCapacity] = {};
    if (callback(context, buffer, kTapfeedPathCapacity) == 0) return kTapfeedBadArgument;
    const size_t length = plat::boundedLength(buffer, kTapfeedPathCapacity);
    if (length == 0 || length >= kTapfeedPathCapacity) return kTapfeedBadArgument;
    path.assign(buffer, length);
    if (request->path && request->flags == kTapfeedTuneWriteBackName)
      plat::copyBounded(request->path, kTapfeedPathCapacity, path);
  }

  uint32_t attributes = 0;
  if (plat::failed(plat::getAttributes(path, &attributes)) || (attributes & plat::kAttrDirectory))
    return kTapfeedNoFile;

  {
    std::lock_guard<std::recursive_mutex> file(fileMutex_);
    file_.close();
    if (plat::failed(file_.open(path, plat::FileAccess::Read, plat::FileDisposition::OpenExisting))) {
      path_.clear();
      return kTapfeedOpenFailed;
    }
    path_ = path;
    position_ = 0;
    endReported_ = false;
    pacer_->reset();
    // Every file is detected afresh: a size found in the previous file says
    // nothing about this one.
    packetSize_ = kPacket188;
  }
  if (filteredMode()) detectPacketSizeLocked();
  loadKey();

  index_ = std::make_unique<TimeIndex>();
  index_->start(path, packetSize_, keyLoaded_ ? key_ : nullptr);

  {
    std::lock_guard<std::recursive_mutex> file(fileMutex_);
    restartPending_ = true;
  }
  tuningValue0_ = request->tuningValue0;
  tuningValue1_ = request->tuningValue1;
  requestPath_ = request->path;
  requestFlags_ = request->flags;
  state_ = 3;
  {
    std::lock_guard<std::mutex> flow(flowMutex_);
    streaming_ = true;
    stopFlag_ = !running_ || paused_;
  }
  flowCv_.notify_all();
  return kTapfeedOk;
}

int32_t FileTuner::untune() {
  std::lock_guard<std::recursive_mutex> op(opMutex_);
  if (state_ != 3) return kTapfeedWrongState;
  tuningValue0_ = 0;
  state_ = 1;
  // The streaming thread must let go of the chunk, the decryptor and the
  // file before they are torn down.
  stopStreaming();
  decryptor_.reset();
  keyLoaded_ = false;
  std::memset(key_, 0, sizeof key_);
  if (index_) index_->stop();
  index_.reset();
  std::lock_guard<std::recursive_mutex> file(fileMutex_);
  file_.close();
  path_.clear();
  return kTapfeedOk;
}

void FileTuner::detectPacketSizeLocked() {
  std::lock_guard<std::recursive_mutex> file(fileMutex_);
  uint8_t* buffer = chunk_.get() + kHeadroom;
  auto rewind = [this] {
    position_ = 0;
    return plat::succeeded(file_.seek(0, plat::SeekOrigin::Begin));
  };
  auto read = [this](uint8_t* out, size_t capacity) -> size_t {
    size_t got = 0;
    if (plat::failed(file_.read(out, capacity, &got))) return 0;
    position_ += got;
    return got;
  };
  if (auto size = detectPacketSize(read, rewind, buffer, kReadSize)) packetSize_ = *size;
  // Streaming starts at the first byte, so cipher units line up with the file.
  rewind();
}

void FileTuner::loadKey() {
  decryptor_.reset();
  keyLoaded_ = false;
  const plat::String16 keyPath = keyPathFor(path_);
  if (keyPath.empty()) return;
  plat::File keyFile;
  if (plat::failed(keyFile.open(keyPath, plat::FileAccess::Read, plat::FileDisposition::OpenExisting))) return;
  uint8_t bytes[17];
  size_t total = 0;
  while (total < sizeof bytes) {
    size_t got = 0;
    if (plat::failed(keyFile.read(bytes + total, sizeof bytes - total, &got)) || got == 0) break;
    total += got;
  }
  if (total != 16) return;  // only a key of exactly 16 bytes counts
  std::memcpy(key_, bytes, 16);
  decryptor_ = std::unique_ptr<PayloadDecryptor>(new (std::nothrow) PayloadDecryptor(key_));
  keyLoaded_ = decryptor_ != nullptr;
}

// ---- hand-shake ----------------------------------------------------------------

void FileTuner::pauseStreaming() {
  std::unique_lock<std::mutex> flow(flowMutex_);
  paused_ = true;
  stopFlag_ = true;
  flowCv_.notify_all();
  flowCv_.wait(flow, [this] { return threadIdle_ || !running_; });
}

void FileTuner::resumeStreaming() {
  {
    std::lock_guard<std::mutex> flow(flowMutex_);
    paused_ = false;
    stopFlag_ = !running_ || !streaming_;
  }
  flowCv_.notify_all();
}

void FileTuner::stopStreaming() {
  std::unique_lock<std::mutex> flow(flowMutex_);
  streaming_ = false;
  stopFlag_ = true;
  flowCv_.notify_all();
  flowCv_.wait(flow, [this] { return threadIdle_ || !running_; });
}

bool FileTuner::keepGoing() const { return !stopFlag_.load(std::memory_order_relaxed); }

void FileTuner::idleWait(uint32_t ms) {
  std::unique_lock<std::mutex> flow(flowMutex_);
  flowCv_.wait_for(flow, std::chrono::milliseconds(ms), [this] { return stopFlag_.load(); });
}

// ---- streaming thread ------------------------------------------------------------

void FileTuner::streamLoop() {
  for (;;) {
    {
      std::unique_lock<std::mutex> flow(flowMutex_);
      if (!running_) break;
      if (!streaming_ || paused_) {
        threadIdle_ = true;
        carry_ = 0;
        flowCv_.notify_all();
        flowCv_.wait_for(flow, std::chrono::milliseconds(kIdleMs));
        continue;
      }
      threadIdle_ = false;
    }
    runCycle();
  }
  std::lock_guard<std::mutex> flow(flowMutex_);
  threadIdle_ = true;
  flowCv_.notify_all();
}

void FileTuner::refreshPidSet() {
  const uint64_t version = pidVersion_.load();
  if (version == pidVersionSeen_) return;
  std::lock_guard<std::mutex> guard(pidMutex_);
  pidVersionSeen_ = pidVersion_.load();
  for (size_t pid = 0; pid < kPidCount; ++pid) pidSet_.keep[pid] = pidCounts_[pid] != 0;
  pidSet_.passAll = pidCounts_[kPassAllPid] != 0;
}

void FileTuner::deliver(const uint8_t* data, size_t length, size_t* unconsumed) {
  *unconsumed = 0;
  while (length > 0 && keepGoing()) {
    TapfeedDataCallback callback;
    void* context;
    {
      std::lock_guard<std::mutex> guard(callbackMutex_);
      callback = dataCallback_;
      context = dataContext_;
    }
    if (!callback) {
      idleWait(kNoCallbackWaitMs);
      continue;
    }
    const int32_t result = callback(context, data, static_cast<uint32_t>(length));
    if (!partialDelivery_) return;
    // The engine may report more than it was given, or a negative count.
    const size_t consumed = static_cast<size_t>(std::clamp<int64_t>(result, 0, static_cast<int64_t>(length)));
    data += consumed;
    length -= consumed;
    if (length <= kHeadroom) {
      *unconsumed = length;
      return;
    }
    idleWait(kIdleMs);
  }
}

void FileTuner::runCycle() {
  if (partialDelivery_ && filteredMode()) {
    std::lock_guard<std::mutex> guard(pidMutex_);
    if (activePids_.empty()) {
      idleWait(kIdleMs);
      return;
    }
  }
  uint8_t* data = chunk_.get() + kHeadroom;
  size_t got = 0;
  bool endDue = false;
  uint32_t sleepAfter = 0;
  {
    std::lock_guard<std::recursive_mutex> file(fileMutex_);
    if (!file_.isOpen()) {
      carry_ = 0;
      sleepAfter = kIdleMs;
    } else {
      if (restartPending_) {
        restartPending_ = false;
        carry_ = 0;
        if (decryptor_) decryptor_->resetLeftover();
      }
      const bool failed = plat::failed(file_.read(data, kReadSize, &got));
      if (failed) got = 0;
      if (got == 0) {
        if (loop_ && !failed) {
          file_.seek(0, plat::SeekOrigin::Begin);
          position_ = 0;
          carry_ = 0;
          if (decryptor_) decryptor_->resetLeftover();
          if (plat::failed(file_.read(data, kReadSize, &got))) got = 0;
          if (got == 0) sleepAfter = kLoopRetryMs;
        } else {
          sleepAfter = kIdleMs;
          if (!endReported_) {
            endReported_ = true;
            endDue = true;
          }
        }
      }
      position_ += got;
    }
  }
  if (sleepAfter) idleWait(sleepAfter);

  if (got > 0 && decryptor_) {
    const uint8_t* plain = nullptr;
    const int64_t n = decryptor_->process(data, got, &plain);
    if (n >= 0) {
      // 0 means the bytes wait in the decryptor for the rest of their unit.
      std::memcpy(data, plain, static_cast<size_t>(n));
      got = static_cast<size_t>(n);
    }
    // n < 0: no memory for the output; the chunk goes on as read.
  }

  if (got > 0) {
    uint8_t* block = data - carry_;
    const size_t length = carry_ + got;
    size_t newCarry = 0;
    const uint8_t* carrySource = nullptr;
    if (filteredMode()) {
      refreshPidSet();
      const size_t packetSize = packetSize_;
      FilterResult r = filterPackets(block, length, packetSize, pidSet_, pacing_ ? pacer_.get() : nullptr);
      if (r.outputLength > 0 && keepGoing()) {
        size_t unconsumed = 0;
        deliver(block + r.outputOffset, r.outputLength, &unconsumed);
      }
      if (r.keepRemainder) {
        newCarry = length - r.remainderOffset;
        carrySource = block + r.remainderOffset;
      }
    } else if (mode_ == 1) {
      if (ipSink_) ipSink_->feed(block, length);
    } else {
      size_t unconsumed = 0;
      deliver(block, length, &unconsumed);
      if (mode_ == 10 && unconsumed > 0) {
        newCarry = unconsumed;
        carrySource = block + length - unconsumed;
      }
    }
    if (newCarry > kHeadroom || !keepGoing()) newCarry = 0;
    if (newCarry) std::memmove(data - newCarry, carrySource, newCarry);
    carry_ = newCarry;
  }

  if (endDue) notify(kTapfeedEventEndOfFile, 0, 0);
}

// ---- parameters ------------------------------------------------------------------

int32_t FileTuner::getSourceType(uint32_t* out) const {
  if (!out) return kTapfeedOk;
  out[0] = static_cast<uint32_t>(sourceTypeOfMode(mode_));
  out[1] = 0;
  return kTapfeedOk;
}

int32_t FileTuner::seekTo(uint64_t timeMs) {
  if (state_ != 3) return kTapfeedWrongState;
  {
    std::lock_guard<std::recursive_mutex> file(fileMutex_);
    if (!file_.isOpen()) return kTapfeedWrongState;
  }
  if (!index_) return kTapfeedOk;
  uint64_t offset = index_->offsetForTime(timeMs).value_or(0);
  // Whole cipher units from the file start (and whole packets of 188-byte
  // files); the packet filter finds the sync of other sizes by itself.
  const uint64_t align = keyLoaded_ ? kCipherUnit : packetSize_.load();
  offset -= offset % align;
  pauseStreaming();
  {
    std::lock_guard<std::recursive_mutex> file(fileMutex_);
    if (plat::succeeded(file_.seek(static_cast<int64_t>(offset), plat::SeekOrigin::Begin)))
      position_ = offset;
    pacer_->reset();
    restartPending_ = true;
    endReported_ = false;
  }
  resumeStreaming();
  return kTapfeedOk;
}

int32_t FileTuner::setParam(TapfeedParam* param) {
  std::lock_guard<std::recursive_mutex> op(opMutex_);
  if (!param) return kTapfeedBadArgument;
  auto flagFrom = [&](std::atomic<bool>& flag) {
    if (!param->value) return kTapfeedBadArgument;
    flag = *static_cast<const int32_t*>(param->value) != 0;
    return kTapfeedOk;
  };
  switch (param->id) {
    case kTapfeedParamFileNameCallback: {
      if (!param->value) return kTapfeedBadArgument;
      std::lock_guard<std::mutex> guard(callbackMutex_);
      fileNameCallback_ = functionFrom<TapfeedFileNameCallback>(param->value);
      fileNameContext_ = reinterpret_cast<void*>(param->extra);
      return kTapfeedOk;
    }
    case kTapfeedParamPacing: return flagFrom(pacing_);
    case kTapfeedParamPartialDelivery: return flagFrom(partialDelivery_);
    case kTapfeedParamLoop: return flagFrom(loop_);
    case kTapfeedParamPosition: {
      if (!param->value || param->extra != 8) return kTapfeedBadArgument;
      uint64_t target;
      std::memcpy(&target, param->value, sizeof target);
      return seekTo(target);
    }
    case kTapfeedParamDataCallback: {
      std::lock_guard<std::mutex> guard(callbackMutex_);
      dataCallback_ = functionFrom<TapfeedDataCallback>(param->value);
      dataContext_ = reinterpret_cast<void*>(param->extra);
      return kTapfeedOk;
    }
    case kTapfeedParamEventCallback: {
      std::lock_guard<std::mutex> guard(callbackMutex_);
      eventCallback_ = functionFrom<TapfeedEventCallback>(param->value);
      eventContext_ = reinterpret_cast<void*>(param->extra);
      return kTapfeedOk;
    }
    case kTapfeedParamUserValueA:
      if (!param->value || param->extra != 4) return kTapfeedBadArgument;
      userValueA_ = *static_cast<const int32_t*>(param->value);
      return kTapfeedOk;
    default:
      return kTapfeedNotSupported;
  }
}

int32_t FileTuner::getParam(TapfeedParam* param) {
  std::lock_guard<std::recursive_mutex> op(opMutex_);
  if (!param) return kTapfeedBadArgument;
  if (state_ != 3) return kTapfeedWrongState;
  void* out = param->value;
  const uintptr_t size = param->extra;
  auto writeInt = [&](int32_t v, bool checkSize) {
    if (!out || (checkSize && size != 4)) return kTapfeedBadArgument;
    std::memcpy(out, &v, sizeof v);
    return kTapfeedOk;
  };
  switch (param->id) {
    case kTapfeedParamSignalLevel: return writeInt(kSignalLevel, false);
    case kTapfeedParamPacing: return writeInt(pacing_ ? 1 : 0, true);
    case kTapfeedParamPartialDelivery: return writeInt(partialDelivery_ ? 1 : 0, true);
    case kTapfeedParamFilePath: {
      if (!out) return kTapfeedBadArgument;
      std::lock_guard<std::recursive_mutex> file(fileMutex_);
      const size_t needed = 4 + (path_.size() + 1) * sizeof(char16_t);
      if (size < needed) return kTapfeedBadArgument;
      const int32_t one = 1;
      auto* bytes = static_cast<uint8_t*>(out);
      std::memcpy(bytes, &one, 4);
      std::memcpy(bytes + 4, path_.c_str(), (path_.size() + 1) * sizeof(char16_t));
      return kTapfeedOk;
    }
    case kTapfeedParamDuration: {
      if (!out || size != 8) return kTapfeedBadArgument;
      if (!index_) return kTapfeedNotSupported;
      const uint64_t duration = index_->durationMs();
      std::memcpy(out, &duration, 8);
      return kTapfeedOk;
    }
    case kTapfeedParamPosition: {
      if (!out || size != 8) return kTapfeedBadArgument;
      if (!index_) return kTapfeedOk;
      uint64_t position;
      {
        std::lock_guard<std::recursive_mutex> file(fileMutex_);
        position = position_;
      }
      const uint64_t ms = index_->positionMs(position);
      std::memcpy(out, &ms, 8);
      return kTapfeedOk;
    }
    case kTapfeedParamNoOp: return kTapfeedOk;
    case kTapfeedParamIpPlatforms:
    case kTapfeedParamBroadcastTime:
      return ipMode() ? ipMode()->getParam(param) : kTapfeedNotSupported;
    case kTapfeedParamStatus: {
      if (!out || size != 44) return kTapfeedBadArgument;
      int32_t level = 0;
      TapfeedParam inner{kTapfeedParamSignalLevel, 0, &level, sizeof level};
      if (getParam(&inner) != kTapfeedOk) return kTapfeedFailed;
      int32_t* record = static_cast<int32_t*>(out);
      record[1] = 1;
      record[2] = static_cast<int32_t>(tuningValue0_);
      record[3] = static_cast<int32_t>(tuningValue1_);
      record[4] = level;
      record[6] = record[7] = record[8] = -1;
      return kTapfeedOk;
    }
    case kTapfeedParamUserValueA: return writeInt(userValueA_, true);
    case kTapfeedParamRequestedPids: {
      auto* countPtr = reinterpret_cast<int32_t*>(param->extra);
      if (!out || !countPtr) return kTapfeedBadArgument;
      std::lock_guard<std::mutex> guard(pidMutex_);
      const size_t capacity = static_cast<size_t>(std::max<int32_t>(*countPtr, 0));
      const size_t n = std::min(capacity, activePids_.size());
      auto* pids = static_cast<int32_t*>(out);
      for (size_t i = 0; i < n; ++i) pids[i] = activePids_[i];
      *countPtr = static_cast<int32_t>(n);
      return kTapfeedOk;
    }
    case kTapfeedParamReserved10008:
      if (!out || !param->extra) return kTapfeedBadArgument;
      return kTapfeedNotSupported;
    case kTapfeedParamUserValueB: return writeInt(userValueB_, false);
    default:
      return kTapfeedNotSupported;
  }
}

// ---- PIDs and events -------------------------------------------------------------

int32_t FileTuner::addPid(uint32_t pid) {
  if (pid >= kPidCount) return kTapfeedOk;
  std::lock_guard<std::mutex> guard(pidMutex_);
  if (activePids_.size() >= kMaxActivePids) return kTapfeedNoFreeSlot;
  activePids_.push_back(static_cast<uint16_t>(pid));
  ++pidCounts_[pid];
  ++pidVersion_;
  return kTapfeedOk;
}

int32_t FileTuner::removePid(uint32_t pid) {
  if (pid >= kPidCount) return kTapfeedOk;
  std::lock_guard<std::mutex> guard(pidMutex_);
  auto it = std::find(activePids_.begin(), activePids_.end(), static_cast<uint16_t>(pid));
  if (it == activePids_.end()) return kTapfeedOk;
  activePids_.erase(it);
  --pidCounts_[pid];
  ++pidVersion_;
  return kTapfeedOk;
}

intptr_t FileTuner::notify(uint32_t code, uintptr_t a, uintptr_t b) {
  TapfeedEventCallback callback;
  void* context;
  {
    std::lock_guard<std::mutex> guard(callbackMutex_);
    callback = eventCallback_;
    context = eventContext_;
  }
  if (!callback) return reinterpret_cast<intptr_t>(this);
  return callback(context, code, a, b);
}

}  // namespace tapfeed
