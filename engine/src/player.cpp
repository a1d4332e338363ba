#include "player.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "plat/debug.h"
#include "plat/file.h"
#include "plat/paths.h"
#include "plat/text.h"

namespace zantsim {

namespace {

constexpr uint32_t kRecordTickMs = 500;
constexpr uint32_t kScanStepMs = 100;
constexpr uint32_t kSearchRepeatMs = 1000;
constexpr uint32_t kFirstFrameMs = 200;
constexpr size_t kMaxScanSteps = 2000;

const SettingDef kSettings[24] = {
    {zant::kSettingNone, 0, 0, 0},          // 0
    {zant::kSettingDword, 0, 3, 0},         // 1 display mode
    {zant::kSettingDword, 0, 2, 0},         // 2 interlace mode
    {zant::kSettingDword, 0, 255, 127},     // 3 contrast
    {zant::kSettingDword, 0, 255, 127},     // 4 brightness
    {zant::kSettingDword, 0, 255, 127},     // 5 hue
    {zant::kSettingDword, 0, 255, 127},     // 6 saturation
    {zant::kSettingDword, 0, 255, 127},     // 7 gamma
    {zant::kSettingDword, 0, 14, 0},        // 8 equaliser preset
    {zant::kSettingDword, 0, 2, 0},         // 9 audio channel mode
    {zant::kSettingDword, 0, 100, 50},      // 10 volume
    {zant::kSettingDword, 0, 1, 0},         // 11 mute
    {zant::kSettingDword, 0, 1, 1},         // 12 synchronise time
    {zant::kSettingString, 0, 0, 0},        // 13 channel cache path
    {zant::kSettingString, 0, 0, 0},        // 14 recording folder
    {zant::kSettingDword, 1, 4095, 2048},   // 15 file size limit, MB
    {zant::kSettingDword, 10, 65535, 1024}, // 16 disk limit, MB
    {zant::kSettingDword, 0, 1, 0},         // 17 encryption
    {zant::kSettingString, 0, 0, 0},        // 18 snapshot folder
    {zant::kSettingDword, 0, 20, 0},        // 19 parental age (0 off)
    {zant::kSettingDword, 0, 255, 0},       // 20 parental content bits
    {zant::kSettingString, 0, 0, 0},        // 21 time-shift folder
    {zant::kSettingDword, 1, 1200, 300},    // 22 time-shift buffer, seconds
    {zant::kSettingDword, 0, 1, 1},         // 23 video output
};

uint32_t recordToMs(const ZantTime& t) {
  return ((t.hour * 3600u + t.minute * 60u + t.second) * 1000u) + t.milliseconds;
}

ZantTime msToRecord(uint32_t ms) {
  ZantTime t{};
  t.year = 0;
  t.month = 0;
  t.day = 0;
  t.hour = static_cast<uint16_t>(ms / 3600000);
  t.minute = static_cast<uint16_t>(ms / 60000 % 60);
  t.second = static_cast<uint16_t>(ms / 1000 % 60);
  t.milliseconds = static_cast<uint16_t>(ms % 1000);
  return t;
}

std::u16string timestampName(const char* prefix, const char* ext) {
  plat::SystemTime t = plat::localSystemTime();
  return plat::utf8ToUtf16(plat::formatString("%s%04u%02u%02u_%02u%02u%02u%s", prefix, t.year, t.month, t.day, t.hour,
                                              t.minute, t.second, ext));
}

// A free name in folder: base.ext, else base_1.ext, base_2.ext ...
std::u16string freeName(const std::u16string& folder, const char* prefix, const char* ext) {
  std::u16string base = timestampName(prefix, "");
  std::u16string ext16 = plat::utf8ToUtf16(ext);
  for (int n = 0; n < 1000; ++n) {
    std::u16string name = base + (n ? plat::utf8ToUtf16(plat::formatString("_%d", n)) : u"") + ext16;
    std::u16string path = plat::joinDevicePath(folder, name);
    if (!plat::fileExists(path)) return path;
  }
  return {};
}

}  // namespace

const SettingDef& settingDef(uint32_t id) { return kSettings[id < 24 ? id : 0]; }

PlayerCore::PlayerCore(IMcUnknown* identity) : identity_(identity) {
  for (uint32_t id = 1; id < 24; ++id)
    if (kSettings[id].kind == zant::kSettingDword) dwords_[id] = static_cast<uint32_t>(kSettings[id].factory);
}

PlayerCore::~PlayerCore() = default;

void PlayerCore::detach() {
  // The front object is being destroyed: from here on nothing names it as a
  // sender (which would take a reference on a dying object).
  {
    std::lock_guard lock(Runtime::get().mu);
    identity_ = nullptr;
  }
  closeSource();
  sinks_->clear();
}

bool PlayerCore::hasSource() { return source_ && identity_ != nullptr; }

// ---- helpers (Runtime::mu held) ----

void PlayerCore::emitLocked(Outbox& out, uint32_t code, uintptr_t p1, uintptr_t p2, std::shared_ptr<void> keep) {
  if (identity_ == nullptr) return;
  out.push_back({sinks_, McPtr<IMcUnknown>::share(identity_), code, p1, p2, std::move(keep)});
}

void PlayerCore::setStateLocked(Outbox& out, int32_t state) {
  if (state_ == state) return;
  state_ = state;
  emitLocked(out, zant::kEvStateChanged, static_cast<uint32_t>(state));
  emitCapsLocked(out);
}

uint32_t PlayerCore::capabilitiesLocked() const {
  if (!source_) return 0;
  uint32_t c = zant::kCapStop | zant::kCapSnapshot;
  if (liveLocked()) {
    c |= zant::kCapPlayLive | zant::kCapPause | zant::kCapTimeShift | zant::kCapRecord;
    if (rec_.active) c |= zant::kCapRecording;
    if (ts_.active) c |= zant::kCapTimeShiftActive;
  } else {
    c |= zant::kCapPlayFile | zant::kCapPause | zant::kCapSeek;
  }
  return c;
}

void PlayerCore::emitCapsLocked(Outbox& out) { emitLocked(out, zant::kEvCapabilities, 0, capabilitiesLocked()); }

bool PlayerCore::liveLocked() const { return source_ && source_->isLive(); }

std::vector<McPtr<ChannelObj>>& PlayerCore::listLocked() { return Runtime::get().lists[source_ ? source_->info().id : 0]; }

uint32_t PlayerCore::qualityOf(uint32_t level) { return level >= 40 ? 0 : level >= 15 ? 1 : 2; }

uint32_t PlayerCore::effectiveSignalLocked() const {
  if (!current_) return 0;
  if (!liveLocked()) return 100;
  const auto& over = Runtime::get().signalOverride;
  return over ? *over : current_->info().signalLevel;
}

// ---- lifecycle ----

Status PlayerCore::connect(IMcUnknown* identity, IZantMediaEventSink* sink) { return sinks_->add(identity, sink); }

Status PlayerCore::disconnect(IMcUnknown* identity, IZantMediaEventSink* sink) {
  if (sink == nullptr) return plat::E_POINTER;
  sinks_->remove(identity, sink);
  return plat::S_OK;
}

Status PlayerCore::open(IZantSourceDevice* source, ZantWindow window, const char16_t* path, IMcUnknown* identity,
                        IZantMediaEventSink* sink) {
  if (source == nullptr) return plat::E_POINTER;
  Runtime& rt = Runtime::get();
  Outbox out;
  Status result = plat::S_OK;
  {
    std::lock_guard lock(rt.mu);
    DeviceObj* device = nullptr;
    for (const auto& d : rt.devices)
      if (d->exposed() == source) device = d.get();
    if (device == nullptr) return plat::E_INVALIDARG;  // not one of this engine's devices
    if (!device->present()) return plat::E_FAIL;
    if (source_) closeLocked(out);
    if (sink != nullptr) sinks_->add(identity, sink);
    source_ = McPtr<DeviceObj>::share(device);
    window_ = window;
    path_ = path ? std::u16string(path) : std::u16string();
    emitLocked(out, zant::kEvTunerInitializing);
    if (device->isLive()) {
      emitLocked(out, zant::kEvTunerInitialized, 0);
      setStateLocked(out, zant::kStateStopped);
      auto battery = std::make_shared<ZantBatteryStatus>(ZantBatteryStatus{rt.batteryLevel, static_cast<uint8_t>(rt.batteryCharging)});
      emitLocked(out, zant::kEvBattery, reinterpret_cast<uintptr_t>(battery.get()), 0, battery);
    } else {
      uint32_t duration = 0;
      Status opened = media_->openFile(path_, &duration);
      if (plat::failed(opened)) {
        result = opened;
        emitLocked(out, zant::kEvTunerInitialized, static_cast<uint32_t>(result));
        emitLocked(out, zant::kEvNotSupported, 0, 1);
        source_.reset();
      } else {
        auto& list = listLocked();
        list.clear();
        if (zant::sourceClass(device->type()) == zant::kSourceClassFile &&
            (device->type() & ~zant::kSourceClassMask) != zant::kFileKindOtherMedia) {
          // A recorded stream carries one service: named after the file.
          auto info2 = std::make_shared<ChannelInfo>();
          info2->serviceId = 1;
          info2->transportStreamId = static_cast<uint32_t>(std::hash<std::u16string>{}(path_) & 0xFFFF);
          info2->name = plat::deviceFileNameOf(path_);
          info2->displayName = info2->name;
          info2->serviceType = zant::kServicePartialTv;
          info2->frequencyKHz = 0;
          info2->programmes.push_back({info2->name, u"", 60, 0});
          info2->streams.push_back({zant::kStreamAudio, "jpn", u"日本語", 0x83});
          list.push_back(McPtr<ChannelObj>::adopt(new ChannelObj(info2)));
        }
        emitLocked(out, zant::kEvTunerInitialized, 0);
        emitLocked(out, zant::kEvServiceListUpdated);
        setStateLocked(out, zant::kStateStopped);
      }
    }
  }
  rt.deliver(std::move(out));
  return result;
}

void PlayerCore::closeLocked(Outbox& out) {
  Runtime& rt = Runtime::get();
  rt.cancel(this);
  if (scan_.active) {
    rt.cancel(&scanOwner_);
    scan_ = {};
  }
  if (rec_.active) stopRecordingLocked(out, 0);
  ts_ = {};
  media_->close();
  current_.reset();
  searching_ = false;
  source_.reset();
  path_.clear();
  state_ = zant::kStateClosed;
  emitLocked(out, zant::kEvStateChanged, zant::kStateClosed);
}

Status PlayerCore::closeSource() {
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    if (!source_) return plat::S_FALSE;
    closeLocked(out);
  }
  // Delivered before returning: nothing for this source arrives afterwards.
  rt.deliver(std::move(out), true);
  scanSinks_->clear();
  return plat::S_OK;
}

Status PlayerCore::getState(int32_t* state) {
  if (state == nullptr) return plat::E_POINTER;
  std::lock_guard lock(Runtime::get().mu);
  *state = state_;
  return plat::S_OK;
}

Status PlayerCore::getSource(IZantSourceDevice** out) {
  if (out == nullptr) return plat::E_POINTER;
  std::lock_guard lock(Runtime::get().mu);
  *out = nullptr;
  if (!source_) return plat::S_FALSE;
  *out = source_->exposed();
  (*out)->AddRef();
  return plat::S_OK;
}

Status PlayerCore::getCapabilities(uint32_t* caps) {
  if (caps == nullptr) return plat::E_POINTER;
  std::lock_guard lock(Runtime::get().mu);
  *caps = capabilitiesLocked();
  return plat::S_OK;
}

Status PlayerCore::setVideoWindow(ZantWindow window, int32_t x, int32_t y, int32_t w, int32_t h) {
  // A window of no size arrives as -1 by -1 (the caller subtracts a border): no video area.
  std::lock_guard lock(Runtime::get().mu);
  window_ = window;
  videoRect_ = {x, y, std::max(w, 0), std::max(h, 0)};
  media_->setVideoWindow(window, x, y, videoRect_[2], videoRect_[3]);
  return plat::S_OK;
}

// ---- playback ----

uint32_t PlayerCore::positionMsLocked() const { return media_->positionMs(); }

void PlayerCore::scheduleEndOfFileLocked() {
  Runtime& rt = Runtime::get();
  rt.cancel(this);
  uint32_t remaining = media_->durationMs() - positionMsLocked();
  std::weak_ptr<PlayerCore> weak = weak_from_this();
  rt.schedule(remaining, [weak] {
    auto self = weak.lock();
    if (!self) return;
    Runtime& r = Runtime::get();
    Outbox out;
    {
      std::lock_guard lock(r.mu);
      if (self->state_ != zant::kStateRunning || self->liveLocked() ||
          self->positionMsLocked() < self->media_->durationMs())
        return;
      self->media_->halt();
      self->setStateLocked(out, zant::kStateStopped);
      self->emitLocked(out, zant::kEvEndOfFile, 1, zant::kStateStopped);
    }
    r.deliver(std::move(out));
  }, this);
}

Status PlayerCore::run() {
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    if (!source_) return plat::E_FAIL;
    if (state_ == zant::kStateScanning || state_ == zant::kStateRecording) return plat::E_FAIL;
    if (liveLocked()) {
      if (!current_) return plat::E_FAIL;
      if (ts_.active && ts_.paused) {
        ts_.behindBase = timeShiftBehindLocked();
        ts_.paused = false;
      }
    } else {
      if (media_->durationMs() == 0) return plat::E_FAIL;
      media_->start();
      scheduleEndOfFileLocked();
    }
    bool wasRunning = state_ == zant::kStateRunning;
    setStateLocked(out, zant::kStateRunning);
    if (!wasRunning) {
      std::weak_ptr<PlayerCore> weak = weak_from_this();
      rt.schedule(kFirstFrameMs, [weak] {
        auto self = weak.lock();
        if (!self) return;
        Outbox o;
        {
          std::lock_guard l(Runtime::get().mu);
          if (self->state_ != zant::kStateRunning && self->state_ != zant::kStateRecording) return;
          self->emitLocked(o, zant::kEvFirstVideoFrame);
        }
        Runtime::get().deliver(std::move(o));
      }, this);
    }
  }
  rt.deliver(std::move(out));
  return plat::S_OK;
}

Status PlayerCore::pause() {
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    if (!source_) return plat::E_FAIL;
    if (state_ != zant::kStateRunning && state_ != zant::kStatePaused) return plat::E_FAIL;
    if (liveLocked()) {
      if (ts_.active && !ts_.paused) {
        ts_.paused = true;
        ts_.pausedSince = plat::tickCount();
      }
    } else if (media_->playing()) {
      media_->halt();
      rt.cancel(this);
    }
    setStateLocked(out, zant::kStatePaused);
  }
  rt.deliver(std::move(out));
  return plat::S_OK;
}

Status PlayerCore::stop() {
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    if (!source_) return plat::E_FAIL;
    if (state_ == zant::kStateScanning) return plat::E_FAIL;
    if (rec_.active) stopRecordingLocked(out, 0);
    if (!liveLocked()) media_->halt();
    rt.cancel(this);
    setStateLocked(out, zant::kStateStopped);
  }
  rt.deliver(std::move(out));
  return plat::S_OK;
}

// ---- settings ----

Status PlayerCore::getSupportedIds(uint32_t* count, uint32_t* ids) {
  if (count == nullptr) return plat::E_POINTER;
  uint32_t capacity = ids ? *count : 0;
  uint32_t n = 0;
  for (uint32_t id = zant::kFirstSettingId; id <= zant::kLastSettingId; ++id) {
    if (n < capacity) ids[n] = id;
    ++n;
  }
  *count = std::min(n, capacity);
  if (ids == nullptr) *count = n;
  return capacity >= n ? plat::S_OK : plat::S_FALSE;
}

Status PlayerCore::getKind(uint32_t id, uint32_t* kind) {
  if (kind == nullptr) return plat::E_POINTER;
  *kind = settingDef(id).kind;
  return *kind == zant::kSettingNone ? plat::E_INVALIDARG : plat::S_OK;
}

Status PlayerCore::getRange(uint32_t id, int32_t* minimum, int32_t* maximum, int32_t* factory) {
  const SettingDef& d = settingDef(id);
  if (d.kind != zant::kSettingDword) return plat::E_INVALIDARG;
  if (minimum) *minimum = d.minimum;
  if (maximum) *maximum = d.maximum;
  if (factory) *factory = d.factory;
  return plat::S_OK;
}

Status PlayerCore::getDword(uint32_t id, uint32_t* value) {
  if (value == nullptr) return plat::E_POINTER;
  if (settingDef(id).kind != zant::kSettingDword) return plat::E_INVALIDARG;
  std::lock_guard lock(Runtime::get().mu);
  *value = dwords_[id];
  return plat::S_OK;
}

Status PlayerCore::setDword(uint32_t id, uint32_t value) {
  const SettingDef& d = settingDef(id);
  if (d.kind != zant::kSettingDword) return plat::E_INVALIDARG;
  if (value < static_cast<uint32_t>(d.minimum) || value > static_cast<uint32_t>(d.maximum)) return plat::E_INVALIDARG;
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    dwords_[id] = value;
    if (id == zant::kSetParentalAge && current_ && value != 0) {
      if (auto p = current_->presentProgramme(); p && p->tmpl->minimumAge > value)
        emitLocked(out, zant::kEvParentalBlocked, p->tmpl->minimumAge);
    }
  }
  rt.deliver(std::move(out));
  return plat::S_OK;
}

Status PlayerCore::getString(uint32_t id, char16_t* buffer, uint32_t capacity) {
  if (settingDef(id).kind != zant::kSettingString) return plat::E_INVALIDARG;
  std::lock_guard lock(Runtime::get().mu);
  return zant::copyTextCapacity(strings_[id], buffer, capacity);
}

Status PlayerCore::setString(uint32_t id, const char16_t* text) {
  if (text == nullptr) return plat::E_POINTER;
  if (settingDef(id).kind != zant::kSettingString) return plat::E_INVALIDARG;
  size_t len = plat::boundedLength(text, plat::kMaxPath);
  if (len >= plat::kMaxPath) return plat::E_INVALIDARG;  // longer than a path may be
  std::lock_guard lock(Runtime::get().mu);
  strings_[id].assign(text, len);
  return plat::S_OK;
}

// ---- folders, recorder, snapshot ----

Status PlayerCore::folderOf(uint32_t settingId, std::u16string* folder) {
  *folder = strings_[settingId];
  while (folder->size() > 1 && folder->back() == u'\\') folder->pop_back();
  if (folder->empty() || !plat::directoryExists(*folder)) return plat::E_FOLDER_MISSING;
  return plat::S_OK;
}

Status PlayerCore::recordStart() {
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    if (!liveLocked() || !current_) return plat::E_FAIL;
    if (rec_.active) return plat::S_FALSE;
    if (state_ != zant::kStateRunning && state_ != zant::kStatePaused) return plat::E_FAIL;
    std::u16string folder;
    if (Status s = folderOf(zant::kSetRecordPath, &folder); plat::failed(s)) return s;
    std::u16string name = freeName(folder, "REC_", ".ts");
    if (name.empty()) return plat::E_FAIL;
    plat::File f;
    if (Status s = f.open(name, plat::FileAccess::Write, plat::FileDisposition::CreateNew); plat::failed(s)) return s;
    rec_.active = true;
    rec_.file = std::move(f);
    rec_.name = name;
    rec_.folder = folder;
    rec_.bytes = 0;
    rec_.streamStart = media_->receivedBytes();
    auto keep = std::make_shared<std::u16string>(name);
    emitLocked(out, zant::kEvRecordFileCreated, reinterpret_cast<uintptr_t>(keep->c_str()), 0, keep);
    setStateLocked(out, zant::kStateRecording);
    std::weak_ptr<PlayerCore> weak = weak_from_this();
    rt.schedule(kRecordTickMs, [weak] {
      if (auto self = weak.lock()) self->recordTick();
    }, this);
  }
  rt.deliver(std::move(out));
  return plat::S_OK;
}

// Writes the stream that arrived since recording began and is not yet in the
// file, as transport-stream packets. Returns the event code of a write
// failure (the disk is full), else 0.
uint32_t PlayerCore::writeDueLocked() {
  const uint64_t from = rec_.streamStart + rec_.bytes;
  const uint64_t to = media_->receivedBytes();
  if (to <= from) return 0;
  std::string chunk;
  media_->streamBytes(from, to, &chunk);
  if (plat::failed(rec_.file.write(chunk.data(), chunk.size()))) return zant::kEvRecordDiskLimit;
  rec_.bytes += chunk.size();
  return 0;
}

// Writes what arrived since the last tick and applies the file-size and
// disk limits.
void PlayerCore::recordTick() {
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    if (!rec_.active) return;
    uint32_t stopCode = writeDueLocked();
    const uint64_t mb = 1024ull * 1024ull;
    if (stopCode == 0 && rec_.bytes >= dwords_[zant::kSetFileLimitMb] * mb) stopCode = zant::kEvRecordFileLimit;
    if (stopCode == 0) {
      std::vector<plat::FindEntry> files;
      uint64_t total = 0;
      if (plat::succeeded(plat::findFiles(plat::joinDevicePath(rec_.folder, u"*.ts"), &files)))
        for (const auto& f : files) total += (f.name == plat::deviceFileNameOf(rec_.name)) ? rec_.bytes : f.size;
      plat::DiskSpace space;
      bool diskLow = plat::succeeded(plat::diskFreeSpace(rec_.folder, &space)) && space.freeToCaller < 10 * mb;
      if (total >= dwords_[zant::kSetDiskLimitMb] * mb || diskLow) stopCode = zant::kEvRecordDiskLimit;
    }
    if (stopCode != 0) {
      stopRecordingLocked(out, stopCode);
    } else {
      std::weak_ptr<PlayerCore> weak = weak_from_this();
      rt.schedule(kRecordTickMs, [weak] {
        if (auto self = weak.lock()) self->recordTick();
      }, this);
    }
  }
  rt.deliver(std::move(out));
}

void PlayerCore::stopRecordingLocked(Outbox& out, uint32_t reasonCode) {
  if (reasonCode == 0) writeDueLocked();  // a requested stop keeps everything up to now
  rec_.file.flush();
  rec_.file.close();
  rec_.active = false;
  if (reasonCode != 0) emitLocked(out, reasonCode);
  emitLocked(out, zant::kEvRecordStopped);
  if (state_ == zant::kStateRecording) setStateLocked(out, zant::kStateRunning);
  else emitCapsLocked(out);
}

Status PlayerCore::recordStop() {
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    if (!rec_.active) return plat::S_FALSE;
    stopRecordingLocked(out, 0);
  }
  rt.deliver(std::move(out));
  return plat::S_OK;
}

Status PlayerCore::recordFileName(char16_t* buffer, uint32_t capacity) {
  std::lock_guard lock(Runtime::get().mu);
  return zant::copyTextCapacity(rec_.name, buffer, capacity);
}

Status PlayerCore::recordBytes(uint64_t* bytes) {
  if (bytes == nullptr) return plat::E_POINTER;
  std::lock_guard lock(Runtime::get().mu);
  *bytes = rec_.bytes;
  return plat::S_OK;
}

Status PlayerCore::snapshot(uint32_t format) {
  if (format != 1) return plat::E_INVALIDARG;  // bitmap files only
  std::lock_guard lock(Runtime::get().mu);
  if (!source_) return plat::E_FAIL;
  if (liveLocked() && !current_) return plat::E_FAIL;
  if (state_ == zant::kStateClosed || state_ == zant::kStateScanning) return plat::E_FAIL;
  std::u16string folder;
  if (Status s = folderOf(zant::kSetSnapshotPath, &folder); plat::failed(s)) return s;
  std::u16string name = freeName(folder, "SNAP_", ".bmp");
  if (name.empty()) return plat::E_FAIL;
  std::string image = media_->captureFrame();
  if (Status s = plat::atomicReplace(name, image); plat::failed(s)) return s;
  lastSnapshot_ = name;
  return plat::S_OK;
}

Status PlayerCore::lastSnapshot(char16_t* buffer, uint32_t capacity) {
  std::lock_guard lock(Runtime::get().mu);
  return zant::copyTextCapacity(lastSnapshot_, buffer, capacity);
}

// ---- time-shift ----

uint32_t PlayerCore::timeShiftLengthLocked() const {
  if (!ts_.active) return 0;
  uint64_t length = plat::tickCount() - ts_.startTick;
  return static_cast<uint32_t>(std::min<uint64_t>(length, dwords_[zant::kSetTimeShiftSeconds] * 1000ull));
}

uint32_t PlayerCore::timeShiftBehindLocked() const {
  uint64_t behind = ts_.behindBase;
  if (ts_.paused) behind += plat::tickCount() - ts_.pausedSince;
  return static_cast<uint32_t>(std::min<uint64_t>(behind, timeShiftLengthLocked()));
}

Status PlayerCore::timeShiftStart() {
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    if (!liveLocked() || !current_) return plat::E_FAIL;
    if (ts_.active) return plat::S_FALSE;
    std::u16string folder;
    if (Status s = folderOf(zant::kSetTimeShiftPath, &folder); plat::failed(s)) return s;
    ts_.active = true;
    ts_.startTick = plat::tickCount();
    ts_.behindBase = 0;
    ts_.paused = state_ == zant::kStatePaused;
    ts_.pausedSince = plat::tickCount();
    emitCapsLocked(out);
  }
  rt.deliver(std::move(out));
  return plat::S_OK;
}

Status PlayerCore::timeShiftStop() {
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    if (!ts_.active) return plat::S_FALSE;
    ts_ = {};
    emitCapsLocked(out);
  }
  rt.deliver(std::move(out));
  return plat::S_OK;
}

Status PlayerCore::timeShiftLength(ZantTime* record, uint32_t* ms) {
  std::lock_guard lock(Runtime::get().mu);
  if (!ts_.active) return plat::E_FAIL;
  uint32_t v = timeShiftLengthLocked();
  if (record) *record = msToRecord(v);
  if (ms) *ms = v;
  return plat::S_OK;
}

Status PlayerCore::timeShiftPosition(ZantTime* record, uint32_t* ms) {
  std::lock_guard lock(Runtime::get().mu);
  if (!ts_.active) return plat::E_FAIL;
  uint32_t v = timeShiftBehindLocked();
  if (record) *record = msToRecord(v);
  if (ms) *ms = v;
  return plat::S_OK;
}

Status PlayerCore::timeShiftSeek(uint32_t origin, uint32_t ms) {
  if (origin != 0) return plat::E_INVALIDARG;
  std::lock_guard lock(Runtime::get().mu);
  if (!ts_.active) return plat::E_FAIL;
  ts_.behindBase = std::min(ms, timeShiftLengthLocked());
  if (ts_.paused) ts_.pausedSince = plat::tickCount();
  return plat::S_OK;
}

// ---- seeking (files) ----

Status PlayerCore::seekSet(const ZantTime* position) {
  if (position == nullptr) return plat::E_POINTER;
  Runtime& rt = Runtime::get();
  std::lock_guard lock(rt.mu);
  if (!source_ || liveLocked()) return plat::E_NOTIMPL;
  uint32_t ms = recordToMs(*position);
  if (ms > media_->durationMs()) return plat::E_INVALIDARG;
  media_->seek(ms);
  if (media_->playing()) scheduleEndOfFileLocked();
  return plat::S_OK;
}

Status PlayerCore::seekDuration(ZantTime* duration) {
  if (duration == nullptr) return plat::E_POINTER;
  std::lock_guard lock(Runtime::get().mu);
  if (!source_ || liveLocked()) return plat::E_NOTIMPL;
  *duration = msToRecord(media_->durationMs());
  return plat::S_OK;
}

Status PlayerCore::seekPosition(ZantTime* position) {
  if (position == nullptr) return plat::E_POINTER;
  std::lock_guard lock(Runtime::get().mu);
  if (!source_ || liveLocked()) return plat::E_NOTIMPL;
  *position = msToRecord(positionMsLocked());
  return plat::S_OK;
}

// ---- property set ----

Status PlayerCore::propertySet(const Guid& set, uint32_t property, const void* data, uint32_t size) {
  if (data == nullptr) return plat::E_POINTER;
  std::lock_guard lock(Runtime::get().mu);
  if (set == zant::kPropSetOutput && property == 1) {
    if (size < 1) return plat::E_INVALIDARG;
    outputProperty_ = *static_cast<const uint8_t*>(data);
    return plat::S_OK;
  }
  if (set == zant::kPropSetVideo && property == 1) {
    if (size < 4) return plat::E_INVALIDARG;
    std::memcpy(&videoShown_, data, 4);
    media_->showVideo(videoShown_ != 0);
    return plat::S_OK;
  }
  return plat::E_NOTIMPL;
}

Status PlayerCore::propertyGet(const Guid& set, uint32_t property, void* data, uint32_t size, uint32_t* returned) {
  if (data == nullptr) return plat::E_POINTER;
  std::lock_guard lock(Runtime::get().mu);
  if (set == zant::kPropSetOutput && property == 1 && size >= 1) {
    *static_cast<uint8_t*>(data) = outputProperty_;
    if (returned) *returned = 1;
    return plat::S_OK;
  }
  if (set == zant::kPropSetVideo && property == 1 && size >= 4) {
    std::memcpy(data, &videoShown_, 4);
    if (returned) *returned = 4;
    return plat::S_OK;
  }
  return plat::E_NOTIMPL;
}

// ---- service streams ----

namespace {
ChannelObj* channelObjOf(IZantChannel* channel) {
  Runtime& rt = Runtime::get();
  for (const auto& c : rt.channels)
    if (c->channel() == channel) return c.get();
  for (auto& [id, list] : rt.lists)
    for (const auto& c : list)
      if (c->channel() == channel) return c.get();
  return nullptr;
}
}  // namespace

Status PlayerCore::enumStreams(IZantChannel* channel, uint32_t kind, IZantEnum** out) {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  if (channel == nullptr) return plat::E_INVALIDARG;
  std::lock_guard lock(Runtime::get().mu);
  ChannelObj* c = channelObjOf(channel);
  if (c == nullptr) return plat::E_INVALIDARG;
  ZantEnumObj* list = newEnum();
  if (list == nullptr) return plat::E_OUTOFMEMORY;
  for (StreamObj* s : c->streams(kind)) list->append(s->exposed());
  *out = list->exposed();
  return plat::S_OK;
}

Status PlayerCore::applyStream(IZantChannel* channel, IZantStream* stream, uint32_t kind) {
  if (channel == nullptr || stream == nullptr) return plat::E_INVALIDARG;
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    ChannelObj* c = channelObjOf(channel);
    if (c == nullptr) return plat::E_INVALIDARG;
    StreamObj* found = nullptr;
    for (StreamObj* s : c->streams(kind))
      if (s->exposed() == stream) found = s;
    if (found == nullptr) return plat::E_INVALIDARG;
    found->apply();
    if (kind == zant::kStreamSubtitle && current_.get() == c) emitLocked(out, zant::kEvSubtitleChanged);
  }
  rt.deliver(std::move(out));
  return plat::S_OK;
}

Status PlayerCore::signalQuality(uint32_t* quality) {
  if (quality == nullptr) return plat::E_POINTER;
  std::lock_guard lock(Runtime::get().mu);
  if (!current_) return plat::E_FAIL;
  *quality = qualityOf(effectiveSignalLocked());
  return plat::S_OK;
}

Status PlayerCore::signalLevel(uint32_t* level) {
  if (level == nullptr) return plat::E_POINTER;
  std::lock_guard lock(Runtime::get().mu);
  *level = effectiveSignalLocked();
  return plat::S_OK;
}

Status PlayerCore::caInfo(IZantCAInfo** out) {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  Runtime& rt = Runtime::get();
  std::lock_guard lock(rt.mu);
  if (!liveLocked()) return plat::S_FALSE;  // no card reader on file sources
  uint32_t status = 0;
  if (rt.caStatusOverride) status = *rt.caStatusOverride;
  else if (current_ && current_->info().scrambled) status = rt.scenario.caStatusScrambled;
  auto* ca = new (std::nothrow) CAInfoObj(rt.scenario.caId, rt.scenario.caKeyDataVersion, status);
  if (ca == nullptr) return plat::E_OUTOFMEMORY;
  *out = ca->exposed();
  return plat::S_OK;
}

// ---- channels ----

Status PlayerCore::tuneLocked(Outbox& out, size_t index) {
  auto& list = listLocked();
  if (index >= list.size()) return plat::E_INVALIDARG;
  Runtime& rt = Runtime::get();
  rt.cancel(this);
  emitLocked(out, zant::kEvServiceChanging);
  current_ = list[index];
  if (liveLocked()) media_->tune(&current_->info());
  else media_->seek(0);
  uint32_t level = effectiveSignalLocked();
  uint32_t quality = qualityOf(level);
  lastQuality_ = quality;
  emitLocked(out, zant::kEvServiceChanged, quality == 2 ? 1 : 0);
  state_ = zant::kStateTuning;
  setStateLocked(out, zant::kStateStopped);
  emitLocked(out, zant::kEvServiceListUpdated);
  emitLocked(out, zant::kEvServiceInfoUpdated);
  emitLocked(out, zant::kEvStreamsUpdated);
  emitLocked(out, zant::kEvSignalChanged, level / 20, level);
  emitLocked(out, zant::kEvSignalQuality, quality);
  if (liveLocked()) emitLocked(out, zant::kEvTimeUpdated);
  McPtr<ChannelObj> keep = current_;
  emitLocked(out, zant::kEvProgramUpdated, 0, reinterpret_cast<uintptr_t>(keep->channel()),
             std::shared_ptr<void>(keep.get(), [k = keep](void*) {}));
  if (liveLocked() && (current_->info().scrambled || rt.caStatusOverride)) {
    uint32_t status = rt.caStatusOverride ? *rt.caStatusOverride : rt.scenario.caStatusScrambled;
    emitLocked(out, zant::kEvCAStatusChanged, status);
  }
  uint32_t age = dwords_[zant::kSetParentalAge];
  if (age != 0)
    if (auto p = current_->presentProgramme(); p && p->tmpl->minimumAge > age)
      emitLocked(out, zant::kEvParentalBlocked, p->tmpl->minimumAge);
  searching_ = false;
  if (quality == 2) scheduleSearchLocked();
  return plat::S_OK;
}

// While the signal is bad the tuner keeps searching and says so every second.
void PlayerCore::scheduleSearchLocked() {
  if (searching_) return;
  searching_ = true;
  std::weak_ptr<PlayerCore> weak = weak_from_this();
  Runtime::get().schedule(kSearchRepeatMs, [weak] {
    auto self = weak.lock();
    if (!self) return;
    Outbox out;
    {
      std::lock_guard lock(Runtime::get().mu);
      self->searching_ = false;
      if (!self->current_ || qualityOf(self->effectiveSignalLocked()) != 2) return;
      self->emitLocked(out, zant::kEvServiceChanged, 1);
      self->scheduleSearchLocked();
    }
    Runtime::get().deliver(std::move(out));
  }, this);
}

void PlayerCore::signalChanged() {
  Outbox out;
  {
    std::lock_guard lock(Runtime::get().mu);
    if (!current_ || !liveLocked()) return;
    uint32_t level = effectiveSignalLocked();
    uint32_t quality = qualityOf(level);
    emitLocked(out, zant::kEvSignalChanged, level / 20, level);
    if (quality != lastQuality_) {
      emitLocked(out, zant::kEvSignalQuality, quality);
      if (quality == 2) {
        emitLocked(out, zant::kEvServiceChanged, 1);
        scheduleSearchLocked();
      } else if (lastQuality_ == 2) {
        emitLocked(out, zant::kEvServiceChanged, 0);
      }
      lastQuality_ = quality;
    }
  }
  Runtime::get().deliver(std::move(out));
}

Status PlayerCore::selectByIndex(int32_t index) {
  Runtime& rt = Runtime::get();
  Outbox out;
  Status s;
  {
    std::lock_guard lock(rt.mu);
    if (!source_) return plat::E_FAIL;
    if (state_ == zant::kStateRecording || state_ == zant::kStateScanning) return plat::E_FAIL;
    if (index < 0) return plat::E_INVALIDARG;
    s = tuneLocked(out, static_cast<size_t>(index));
  }
  rt.deliver(std::move(out));
  return s;
}

Status PlayerCore::selectById(uint32_t id) {
  int32_t index = -1;
  {
    std::lock_guard lock(Runtime::get().mu);
    if (!source_) return plat::E_FAIL;
    auto& list = listLocked();
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i]->info().channelId() == id) index = static_cast<int32_t>(i);
  }
  if (index < 0) return plat::E_INVALIDARG;
  return selectByIndex(index);
}

Status PlayerCore::select(IZantChannel* channel) {
  if (channel == nullptr) return plat::E_POINTER;
  int32_t index = -1;
  {
    std::lock_guard lock(Runtime::get().mu);
    if (!source_) return plat::E_FAIL;
    auto& list = listLocked();
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i]->channel() == channel) index = static_cast<int32_t>(i);
  }
  if (index < 0) return plat::E_INVALIDARG;
  return selectByIndex(index);
}

Status PlayerCore::getCurrent(int32_t* index, IZantChannel** channel) {
  std::lock_guard lock(Runtime::get().mu);
  if (index) *index = -1;
  if (channel) *channel = nullptr;
  if (!source_ || !current_) return plat::S_FALSE;
  auto& list = listLocked();
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].get() == current_.get()) {
      if (index) *index = static_cast<int32_t>(i);
      break;
    }
  }
  if (channel) {
    *channel = current_->channel();
    (*channel)->AddRef();
  }
  return plat::S_OK;
}

Status PlayerCore::getCount(uint32_t* count) {
  if (count == nullptr) return plat::E_POINTER;
  std::lock_guard lock(Runtime::get().mu);
  *count = source_ ? static_cast<uint32_t>(listLocked().size()) : 0;
  return plat::S_OK;
}

Status PlayerCore::getList(IZantEnum** out) {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  std::lock_guard lock(Runtime::get().mu);
  if (!source_) return plat::E_FAIL;
  ZantEnumObj* list = newEnum();
  if (list == nullptr) return plat::E_OUTOFMEMORY;
  for (const auto& c : listLocked()) list->append(c->channel());
  *out = list->exposed();
  return plat::S_OK;
}

// ---- scans ----

Status PlayerCore::startScanLocked(Outbox& out, std::vector<uint32_t> steps, uint32_t bandwidthKHz, uint32_t region,
                                   IMcUnknown* identity, IZantMediaEventSink* sink) {
  if (!liveLocked()) return plat::E_FAIL;
  if (scan_.active || state_ == zant::kStateRecording) return plat::E_FAIL;
  if (steps.empty()) return plat::E_INVALIDARG;
  if (sink != nullptr) scanSinks_->add(identity, sink);
  Runtime::get().cancel(this);
  scan_ = {};
  scan_.active = true;
  scan_.steps = std::move(steps);
  scan_.bandwidthKHz = bandwidthKHz;
  scan_.region = region;
  scan_.stateBefore = state_;
  if (ts_.active) ts_ = {};
  setStateLocked(out, zant::kStateScanning);
  out.push_back({scanSinks_, McPtr<IMcUnknown>::share(identity_), zant::kEvScanBegin, 0, 0, nullptr});
  std::weak_ptr<PlayerCore> weak = weak_from_this();
  Runtime::get().schedule(kScanStepMs, [weak] {
    if (auto self = weak.lock()) self->scanStep();
  }, &scanOwner_);
  return plat::S_OK;
}

Status PlayerCore::scanRegion(uint32_t country, uint32_t region, IMcUnknown* identity, IZantMediaEventSink* sink) {
  Runtime& rt = Runtime::get();
  Outbox out;
  Status s;
  {
    std::lock_guard lock(rt.mu);
    const CountryInfo* found = nullptr;
    for (const auto& c : rt.scenario.countries)
      if (c.id == country) found = &c;
    if (found == nullptr) return plat::E_INVALIDARG;
    if (region != 0 && std::none_of(found->regions.begin(), found->regions.end(), [&](const RegionInfo& r) { return r.id == region; }))
      return plat::E_INVALIDARG;
    // The UHF television band, channels 13 to 52, 6 MHz apart.
    std::vector<uint32_t> steps;
    for (uint32_t ch = 13; ch <= 52; ++ch) steps.push_back(473143 + (ch - 13) * 6000);
    s = startScanLocked(out, std::move(steps), 6000, region, identity, sink);
  }
  rt.deliver(std::move(out));
  return s;
}

Status PlayerCore::scanRange(uint32_t startKHz, uint32_t endKHz, uint32_t bandwidthKHz, IMcUnknown* identity,
                             IZantMediaEventSink* sink) {
  if (startKHz == 0 || endKHz < startKHz || bandwidthKHz < 1000 || bandwidthKHz > 10000) return plat::E_INVALIDARG;
  if ((endKHz - startKHz) / bandwidthKHz + 1 > kMaxScanSteps) return plat::E_INVALIDARG;
  Runtime& rt = Runtime::get();
  Outbox out;
  Status s;
  {
    std::lock_guard lock(rt.mu);
    std::vector<uint32_t> steps;
    for (uint32_t f = startKHz; f <= endKHz; f += bandwidthKHz) steps.push_back(f);
    s = startScanLocked(out, std::move(steps), bandwidthKHz, region_, identity, sink);
  }
  rt.deliver(std::move(out));
  return s;
}

void PlayerCore::scanStep() {
  Runtime& rt = Runtime::get();
  Outbox out;
  bool finished = false;
  {
    std::lock_guard lock(rt.mu);
    if (!scan_.active) return;
    uint32_t freq = scan_.steps[scan_.next];
    auto status = std::make_shared<ZantScanStatus>();
    bool any = false;
    uint32_t bestLevel = 0;
    for (const auto& c : rt.channels) {
      const ChannelInfo& info = c->info();
      uint32_t diff = info.frequencyKHz > freq ? info.frequencyKHz - freq : freq - info.frequencyKHz;
      if (diff * 2 >= scan_.bandwidthKHz || !info.receivedIn(scan_.region)) continue;
      if (std::find(scan_.found.begin(), scan_.found.end(), c) == scan_.found.end()) scan_.found.push_back(c);
      any = true;
      bestLevel = std::max(bestLevel, info.signalLevel);
    }
    if (any) ++scan_.frequenciesFound;
    ++scan_.next;
    status->size = sizeof(ZantScanStatus);
    status->phase = scan_.next < scan_.steps.size() ? 1 : 2;
    status->percent = static_cast<int32_t>(scan_.next * 100 / scan_.steps.size());
    status->frequenciesFound = scan_.frequenciesFound;
    status->programsFound = static_cast<int32_t>(scan_.found.size());
    status->frequencyKHz = static_cast<int32_t>(freq);
    status->bandwidthKHz = static_cast<int32_t>(scan_.bandwidthKHz);
    status->physicalChannel = freq >= 473143 ? static_cast<int32_t>((freq - 473143) / scan_.bandwidthKHz + 13)
                                             : static_cast<int32_t>(scan_.next);
    status->signalLevel = static_cast<int32_t>(bestLevel);
    out.push_back({scanSinks_, McPtr<IMcUnknown>::share(identity_), zant::kEvScanProgress,
                   static_cast<uintptr_t>(status->percent), reinterpret_cast<uintptr_t>(status.get()), status});
    if (scan_.next >= scan_.steps.size()) {
      // The new list, in the order of the services' numbers.
      std::vector<McPtr<ChannelObj>> list = scan_.found;
      std::stable_sort(list.begin(), list.end(), [](const McPtr<ChannelObj>& a, const McPtr<ChannelObj>& b) {
        return a->info().serviceNumber < b->info().serviceNumber;
      });
      listLocked() = std::move(list);
      if (current_ && std::find(listLocked().begin(), listLocked().end(), current_) == listLocked().end()) current_.reset();
      scan_.active = false;
      scan_.found.clear();
      setStateLocked(out, zant::kStateStopped);
      emitLocked(out, zant::kEvServiceListUpdated);
      out.push_back({scanSinks_, McPtr<IMcUnknown>::share(identity_), zant::kEvScanFinished, 0, 0, nullptr});
      finished = true;
    } else {
      std::weak_ptr<PlayerCore> weak = weak_from_this();
      rt.schedule(kScanStepMs, [weak] {
        if (auto self = weak.lock()) self->scanStep();
      }, &scanOwner_);
    }
  }
  rt.deliver(std::move(out), finished);
  if (finished) scanSinks_->clear();
}

Status PlayerCore::stopScan() {
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    if (!scan_.active) return plat::S_FALSE;
    rt.cancel(&scanOwner_);
    scan_ = {};
    setStateLocked(out, zant::kStateStopped);
    out.push_back({scanSinks_, McPtr<IMcUnknown>::share(identity_), zant::kEvScanStopped, 0, 0, nullptr});
  }
  // The scan's sink hears of the stop before this returns, and nothing after.
  rt.deliver(std::move(out), true);
  scanSinks_->clear();
  return plat::S_OK;
}

// ---- channel list files ----
// "ChannelList.txt" in the folder: a header line, then one "tsid sid" line per
// channel in list order (hexadecimal).

namespace {
constexpr char kListHeader[] = "ZANT-CHANNEL-LIST 1";
constexpr uint64_t kMaxListFile = 64 * 1024;
}  // namespace

Status PlayerCore::saveList(const char16_t* folder) {
  if (folder == nullptr) return plat::E_POINTER;
  std::string text = std::string(kListHeader) + "\n";
  std::u16string path;
  {
    std::lock_guard lock(Runtime::get().mu);
    if (!source_) return plat::E_FAIL;
    for (const auto& c : listLocked())
      text += plat::formatString("%04X %04X\n", c->info().transportStreamId, c->info().serviceId);
    std::u16string dir(folder, plat::boundedLength(folder, plat::kMaxPath));
    if (!plat::directoryExists(dir)) return plat::E_PATH_NOT_FOUND;
    path = plat::joinDevicePath(dir, u"ChannelList.txt");
  }
  return plat::atomicReplace(path, text);
}

Status PlayerCore::restoreList(const char16_t* folder) {
  if (folder == nullptr) return plat::E_POINTER;
  std::u16string dir(folder, plat::boundedLength(folder, plat::kMaxPath));
  std::string text;
  if (Status s = plat::readWholeFile(plat::joinDevicePath(dir, u"ChannelList.txt"), &text, kMaxListFile); plat::failed(s))
    return s;
  size_t nl = text.find('\n');
  if (nl == std::string::npos || text.substr(0, nl) != kListHeader) return plat::E_DATA_INVALID;
  std::vector<uint32_t> ids;
  size_t pos = nl + 1;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty()) continue;
    unsigned tsid = 0, sid = 0;
    char extra = 0;
    if (std::sscanf(line.c_str(), "%4X %4X%c", &tsid, &sid, &extra) != 2) return plat::E_DATA_INVALID;
    if (ids.size() >= kMaxChannels) return plat::E_DATA_INVALID;
    ids.push_back((tsid << 16) | sid);
  }
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    if (!source_ || !liveLocked()) return plat::E_FAIL;
    std::vector<McPtr<ChannelObj>> list;
    for (uint32_t id : ids)
      if (auto c = rt.channelFor(id)) list.push_back(c);  // services the broadcast no longer carries are dropped
    listLocked() = std::move(list);
    if (current_ && std::find(listLocked().begin(), listLocked().end(), current_) == listLocked().end()) current_.reset();
    emitLocked(out, zant::kEvServiceListUpdated);
  }
  rt.deliver(std::move(out));
  return plat::S_OK;
}

// ---- property store ----

Status PlayerCore::countries(uint32_t sourceType, uint32_t* count, ZantPropertyEntry* list) {
  if (count == nullptr) return plat::E_POINTER;
  Runtime& rt = Runtime::get();
  std::lock_guard lock(rt.mu);
  uint32_t type = sourceType != 0 ? sourceType : (source_ ? source_->type() : 0);
  uint32_t standard = zant::sourceStandard(type);
  uint32_t capacity = list ? *count : 0;
  uint32_t n = 0;
  for (const auto& c : rt.scenario.countries) {
    if (c.standard != standard) continue;
    if (n < capacity) {
      list[n].id = c.id;
      plat::copyBounded(list[n].name, 256, c.name);
    }
    ++n;
  }
  if (n == 0) return plat::E_FAIL;
  *count = list ? std::min(n, capacity) : n;
  return (list == nullptr || capacity >= n) ? plat::S_OK : plat::S_FALSE;
}

Status PlayerCore::regions(uint32_t country, uint32_t* count, ZantPropertyEntry* list) {
  if (count == nullptr) return plat::E_POINTER;
  Runtime& rt = Runtime::get();
  std::lock_guard lock(rt.mu);
  for (const auto& c : rt.scenario.countries) {
    if (c.id != country) continue;
    uint32_t n = static_cast<uint32_t>(c.regions.size());
    uint32_t capacity = list ? *count : 0;
    for (uint32_t i = 0; i < n && i < capacity; ++i) {
      list[i].id = c.regions[i].id;
      plat::copyBounded(list[i].name, 256, c.regions[i].name);
    }
    *count = list ? std::min(n, capacity) : n;
    return (list == nullptr || capacity >= n) ? plat::S_OK : plat::S_FALSE;
  }
  return plat::E_INVALIDARG;
}

Status PlayerCore::storeGet(uint32_t id, uint32_t* value) {
  if (value == nullptr) return plat::E_POINTER;
  if (id != zant::kPropRegion) return plat::E_INVALIDARG;
  std::lock_guard lock(Runtime::get().mu);
  *value = region_;
  return plat::S_OK;
}

// Property 81 restricts reception to one region: the channel list becomes
// that region's line-up at once (no scan needed); 0 lifts the restriction.
Status PlayerCore::storeSet(uint32_t id, uint32_t value) {
  if (id != zant::kPropRegion) return plat::E_INVALIDARG;
  Runtime& rt = Runtime::get();
  Outbox out;
  {
    std::lock_guard lock(rt.mu);
    if (!liveLocked()) return plat::E_FAIL;
    if (value != 0) {
      bool known = false;
      for (const auto& c : rt.scenario.countries)
        for (const auto& r : c.regions) known = known || r.id == value;
      if (!known) return plat::E_INVALIDARG;
    }
    region_ = value;
    if (value == 0) return plat::S_OK;
    std::vector<McPtr<ChannelObj>> list;
    for (const auto& c : rt.channels)
      if (c->info().receivedIn(value)) list.push_back(c);
    std::stable_sort(list.begin(), list.end(), [](const McPtr<ChannelObj>& a, const McPtr<ChannelObj>& b) {
      return a->info().serviceNumber < b->info().serviceNumber;
    });
    listLocked() = std::move(list);
    if (current_ && std::find(listLocked().begin(), listLocked().end(), current_) == listLocked().end()) current_.reset();
    emitLocked(out, zant::kEvServiceListUpdated);
    emitLocked(out, zant::kEvScanFinished);
  }
  rt.deliver(std::move(out));
  return plat::S_OK;
}

}  // namespace zantsim
