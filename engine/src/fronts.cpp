// The component objects the engine hands out: the player (with its recorder,
// snapshot and time-shift parts), the per-source service streams (with the
// channel manager and property store), and the source device manager.
#include "fronts.h"

#include "player.h"

namespace zantsim {

namespace {

// Interfaces whose method names clash with the player's (Start, Stop) are
// parts of the player object: their QueryInterface, AddRef and Release go
// to the player's identity.
class RecorderPart final : public McForward<IZantRecorder> {
 public:
  RecorderPart(IMcNonDelegatingUnknown* owner, PlayerCore* core) : McForward(owner), core_(core) {}
  Status Start() override {
    ZSIM_ENTER("IZantRecorder::Start");
    return core_->recordStart();
  }
  Status Stop() override {
    ZSIM_ENTER("IZantRecorder::Stop");
    return core_->recordStop();
  }
  Status GetFileName(char16_t* buffer, uint32_t capacity) override { return core_->recordFileName(buffer, capacity); }
  Status GetBytesWritten(uint64_t* bytes) override { return core_->recordBytes(bytes); }

 private:
  PlayerCore* core_;
};

class SnapshotPart final : public McForward<IZantSnapshot> {
 public:
  SnapshotPart(IMcNonDelegatingUnknown* owner, PlayerCore* core) : McForward(owner), core_(core) {}
  Status Take(uint32_t format) override {
    ZSIM_ENTER("IZantSnapshot::Take");
    return core_->snapshot(format);
  }
  Status GetLastFile(char16_t* buffer, uint32_t capacity) override { return core_->lastSnapshot(buffer, capacity); }

 private:
  PlayerCore* core_;
};

class TimeShiftPart final : public McForward<IZantTimeShift> {
 public:
  TimeShiftPart(IMcNonDelegatingUnknown* owner, PlayerCore* core) : McForward(owner), core_(core) {}
  Status Start(uint32_t) override {
    ZSIM_ENTER("IZantTimeShift::Start");
    return core_->timeShiftStart();
  }
  Status Stop() override {
    ZSIM_ENTER("IZantTimeShift::Stop");
    return core_->timeShiftStop();
  }
  Status GetLength(ZantTime* length, uint32_t* ms) override {
    ZSIM_ENTER("IZantTimeShift::GetLength");
    return core_->timeShiftLength(length, ms);
  }
  Status GetPosition(ZantTime* position, uint32_t* ms) override {
    ZSIM_ENTER("IZantTimeShift::GetPosition");
    return core_->timeShiftPosition(position, ms);
  }
  Status Seek(uint32_t origin, uint32_t ms) override {
    ZSIM_ENTER("IZantTimeShift::Seek");
    return core_->timeShiftSeek(origin, ms);
  }

 private:
  PlayerCore* core_;
};

class StreamsObj final : public SimObject<IZantServiceStreams, IZantChannelManager, IZantPropertyStore> {
 public:
  explicit StreamsObj(std::shared_ptr<PlayerCore> core) : core_(std::move(core)) {}

  // IZantServiceStreams
  Status EnumVideo(IZantChannel* channel, IZantEnum** out) override {
    ZSIM_ENTER("IZantServiceStreams::EnumVideo");
    return core_->enumStreams(channel, zant::kStreamVideo, out);
  }
  Status ApplyVideo(IZantChannel* channel, IZantStream* stream) override {
    ZSIM_ENTER("IZantServiceStreams::ApplyVideo");
    return core_->applyStream(channel, stream, zant::kStreamVideo);
  }
  Status GetSignalQuality(uint32_t* quality) override { return core_->signalQuality(quality); }
  Status GetSignalLevel(uint32_t* level) override { return core_->signalLevel(level); }
  Status GetBroadcastTime(plat::FileTime* utc) override {
    if (utc == nullptr) return plat::E_POINTER;
    *utc = plat::utcNow();
    return plat::S_OK;
  }
  Status GetEmergencyAlarm(IZantEmergencyAlarm** out) override {
    if (out == nullptr) return plat::E_POINTER;
    std::lock_guard lock(Runtime::get().mu);
    *out = nullptr;
    if (!Runtime::get().alarm) return plat::S_FALSE;
    *out = Runtime::get().alarm->exposed();
    (*out)->AddRef();
    return plat::S_OK;
  }
  Status GetBatteryStatus(ZantBatteryStatus* status) override {
    if (status == nullptr) return plat::E_POINTER;
    std::lock_guard lock(Runtime::get().mu);
    *status = {Runtime::get().batteryLevel, static_cast<uint8_t>(Runtime::get().batteryCharging)};
    return plat::S_OK;
  }
  Status ApplyAudio(IZantChannel* channel, IZantStream* stream) override {
    ZSIM_ENTER("IZantServiceStreams::ApplyAudio");
    return core_->applyStream(channel, stream, zant::kStreamAudio);
  }
  Status EnumAudio(IZantChannel* channel, IZantEnum** out) override {
    ZSIM_ENTER("IZantServiceStreams::EnumAudio");
    return core_->enumStreams(channel, zant::kStreamAudio, out);
  }
  Status ApplySubtitle(IZantChannel* channel, IZantStream* stream) override {
    ZSIM_ENTER("IZantServiceStreams::ApplySubtitle");
    return core_->applyStream(channel, stream, zant::kStreamSubtitle);
  }
  Status EnumSubtitles(IZantChannel* channel, IZantEnum** out) override {
    ZSIM_ENTER("IZantServiceStreams::EnumSubtitles");
    return core_->enumStreams(channel, zant::kStreamSubtitle, out);
  }
  Status GetCAInfo(IZantCAInfo** out) override {
    ZSIM_ENTER("IZantServiceStreams::GetCAInfo");
    return core_->caInfo(out);
  }

  // IZantChannelManager
  Status ScanRegion(uint32_t country, uint32_t region, IMcUnknown* identity, IZantMediaEventSink* sink) override {
    ZSIM_ENTER("IZantChannelManager::ScanRegion");
    return core_->scanRegion(country, region, identity, sink);
  }
  Status ScanRange(uint32_t startKHz, uint32_t endKHz, uint32_t bandwidthKHz, IMcUnknown* identity,
                   IZantMediaEventSink* sink) override {
    ZSIM_ENTER("IZantChannelManager::ScanRange");
    return core_->scanRange(startKHz, endKHz, bandwidthKHz, identity, sink);
  }
  Status StopScan(uint32_t, uint32_t) override {
    ZSIM_ENTER("IZantChannelManager::StopScan");
    return core_->stopScan();
  }
  Status Save(const char16_t* folder) override {
    ZSIM_ENTER("IZantChannelManager::Save");
    return core_->saveList(folder);
  }
  Status Restore(const char16_t* folder) override {
    ZSIM_ENTER("IZantChannelManager::Restore");
    return core_->restoreList(folder);
  }
  Status GetList(IZantEnum** out) override {
    ZSIM_ENTER("IZantChannelManager::GetList");
    return core_->getList(out);
  }
  Status SelectById(uint32_t id) override {
    ZSIM_ENTER("IZantChannelManager::SelectById");
    return core_->selectById(id);
  }
  Status Select(IZantChannel* channel) override {
    ZSIM_ENTER("IZantChannelManager::Select");
    return core_->select(channel);
  }
  Status SelectByIndex(int32_t index) override {
    ZSIM_ENTER("IZantChannelManager::SelectByIndex");
    return core_->selectByIndex(index);
  }
  Status GetCurrent(int32_t* index, IZantChannel** channel) override {
    ZSIM_ENTER("IZantChannelManager::GetCurrent");
    return core_->getCurrent(index, channel);
  }
  Status GetCount(uint32_t* count) override {
    ZSIM_ENTER("IZantChannelManager::GetCount");
    return core_->getCount(count);
  }

  // IZantPropertyStore
  Status GetCountries(uint32_t sourceType, uint32_t* count, ZantPropertyEntry* list) override {
    ZSIM_ENTER("IZantPropertyStore::GetCountries");
    return core_->countries(sourceType, count, list);
  }
  Status Get(uint32_t id, uint32_t* value) override {
    ZSIM_ENTER("IZantPropertyStore::Get");
    return core_->storeGet(id, value);
  }
  Status GetRegions(uint32_t country, uint32_t* count, ZantPropertyEntry* list) override {
    ZSIM_ENTER("IZantPropertyStore::GetRegions");
    return core_->regions(country, count, list);
  }
  Status Set(uint32_t id, uint32_t value) override {
    ZSIM_ENTER("IZantPropertyStore::Set");
    return core_->storeSet(id, value);
  }

 private:
  ~StreamsObj() override = default;
  const std::shared_ptr<PlayerCore> core_;
};

class PlayerObj final : public SimObject<IZantMediaPlayer, IZantPlayerSettings, IZantMediaSeeking, IZantPropertySet> {
 public:
  PlayerObj()
      : core_(std::make_shared<PlayerCore>(identity())),
        recorder_(this, core_.get()),
        snapshot_(this, core_.get()),
        timeShift_(this, core_.get()) {
    Runtime::get().registerPlayer(core_);
  }

  // IZantMediaPlayer
  Status Connect(IMcUnknown* identity, IZantMediaEventSink* sink) override {
    ZSIM_ENTER("IZantMediaPlayer::Connect");
    return core_->connect(identity, sink);
  }
  Status Disconnect(IMcUnknown* identity, IZantMediaEventSink* sink) override {
    ZSIM_ENTER("IZantMediaPlayer::Disconnect");
    return core_->disconnect(identity, sink);
  }
  Status Open(IZantSourceDevice* source, ZantWindow window, const char16_t* path, IMcUnknown* identity,
              IZantMediaEventSink* sink) override {
    ZSIM_ENTER("IZantMediaPlayer::Open");
    return core_->open(source, window, path, identity, sink);
  }
  Status CloseSource() override {
    ZSIM_ENTER("IZantMediaPlayer::CloseSource");
    return core_->closeSource();
  }
  Status GetServiceStreams(IZantServiceStreams** out) override {
    ZSIM_ENTER("IZantMediaPlayer::GetServiceStreams");
    if (out == nullptr) return plat::E_POINTER;
    *out = nullptr;
    if (Runtime::get().withheld(IZantServiceStreams::iid)) return plat::E_NOINTERFACE;
    {
      std::lock_guard lock(Runtime::get().mu);
      if (!core_->hasSource()) return plat::E_FAIL;
    }
    return mcCreate<StreamsObj>(out, core_);
  }
  Status GetState(int32_t* state, uint32_t) override {
    ZSIM_ENTER("IZantMediaPlayer::GetState");
    return core_->getState(state);
  }
  Status GetSource(IZantSourceDevice** out) override {
    ZSIM_ENTER("IZantMediaPlayer::GetSource");
    return core_->getSource(out);
  }
  Status Run(uint32_t) override {
    ZSIM_ENTER("IZantMediaPlayer::Run");
    return core_->run();
  }
  Status Suspend() override {
    ZSIM_ENTER("IZantMediaPlayer::Suspend");
    return core_->pause();
  }
  Status Pause() override {
    ZSIM_ENTER("IZantMediaPlayer::Pause");
    return core_->pause();
  }
  Status Stop() override {
    ZSIM_ENTER("IZantMediaPlayer::Stop");
    return core_->stop();
  }
  Status GetCapabilities(uint32_t* caps) override {
    ZSIM_ENTER("IZantMediaPlayer::GetCapabilities");
    return core_->getCapabilities(caps);
  }
  Status SetVideoWindow(ZantWindow window, int32_t x, int32_t y, int32_t w, int32_t h) override {
    ZSIM_ENTER("IZantMediaPlayer::SetVideoWindow");
    return core_->setVideoWindow(window, x, y, w, h);
  }

  // IZantPlayerSettings
  Status GetSupportedIds(uint32_t* count, uint32_t* ids) override {
    ZSIM_ENTER("IZantPlayerSettings::GetSupportedIds");
    return core_->getSupportedIds(count, ids);
  }
  Status GetDWORD(uint32_t id, uint32_t* value) override {
    ZSIM_ENTER("IZantPlayerSettings::GetDWORD");
    return core_->getDword(id, value);
  }
  Status GetRange(uint32_t id, int32_t* minimum, int32_t* maximum, int32_t* factory) override {
    ZSIM_ENTER("IZantPlayerSettings::GetRange");
    return core_->getRange(id, minimum, maximum, factory);
  }
  Status GetString(uint32_t id, char16_t* buffer, uint32_t capacity) override {
    ZSIM_ENTER("IZantPlayerSettings::GetString");
    return core_->getString(id, buffer, capacity);
  }
  Status SetDWORD(uint32_t id, uint32_t value) override {
    ZSIM_ENTER("IZantPlayerSettings::SetDWORD");
    return core_->setDword(id, value);
  }
  Status GetKind(uint32_t id, uint32_t* kind) override { return core_->getKind(id, kind); }
  Status SetString(uint32_t id, const char16_t* text) override {
    ZSIM_ENTER("IZantPlayerSettings::SetString");
    return core_->setString(id, text);
  }

  // IZantMediaSeeking
  Status SetPosition(const ZantTime* position) override {
    ZSIM_ENTER("IZantMediaSeeking::SetPosition");
    return core_->seekSet(position);
  }
  Status GetDuration(ZantTime* duration) override {
    ZSIM_ENTER("IZantMediaSeeking::GetDuration");
    return core_->seekDuration(duration);
  }
  Status GetPosition(ZantTime* position) override {
    ZSIM_ENTER("IZantMediaSeeking::GetPosition");
    return core_->seekPosition(position);
  }

  // IZantPropertySet
  Status Set(const Guid& set, uint32_t property, const void* data, uint32_t size) override {
    ZSIM_ENTER("IZantPropertySet::Set");
    return core_->propertySet(set, property, data, size);
  }
  Status Get(const Guid& set, uint32_t property, void* data, uint32_t size, uint32_t* returned) override {
    return core_->propertyGet(set, property, data, size, returned);
  }

 protected:
  Status queryExtra(const Guid& iid, void** out) override {
    if (Runtime::get().withheld(iid)) return plat::E_NOINTERFACE;
    if (iid == IZantRecorder::iid) return exposeInterface(static_cast<IZantRecorder*>(&recorder_), out);
    if (iid == IZantSnapshot::iid) return exposeInterface(static_cast<IZantSnapshot*>(&snapshot_), out);
    if (iid == IZantTimeShift::iid) return exposeInterface(static_cast<IZantTimeShift*>(&timeShift_), out);
    return plat::E_NOINTERFACE;
  }

 private:
  ~PlayerObj() override { core_->detach(); }
  const std::shared_ptr<PlayerCore> core_;
  RecorderPart recorder_;
  SnapshotPart snapshot_;
  TimeShiftPart timeShift_;
};

class DeviceManagerObj final : public SimObject<IZantSourceDeviceManager> {
 public:
  Status Advise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) override {
    ZSIM_ENTER("IZantSourceDeviceManager::Advise");
    return Runtime::get().deviceSinks->add(sinkObject, sink);
  }
  Status Unadvise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) override {
    ZSIM_ENTER("IZantSourceDeviceManager::Unadvise");
    if (sink == nullptr) return plat::E_POINTER;
    Runtime::get().deviceSinks->remove(sinkObject, sink);
    return plat::S_OK;
  }
  Status EnumDevices(uint32_t typeFilter, IZantEnum** out) override {
    ZSIM_ENTER("IZantSourceDeviceManager::EnumDevices");
    if (out == nullptr) return plat::E_POINTER;
    *out = nullptr;
    ZantEnumObj* list = newEnum();
    if (list == nullptr) return plat::E_OUTOFMEMORY;
    Runtime& rt = Runtime::get();
    std::lock_guard lock(rt.mu);
    for (const auto& d : rt.devices) {
      if (!d->present()) continue;
      uint32_t type = d->type();
      bool match = typeFilter == 0 ||
                   ((type & zant::kSourceClassMask) == (typeFilter & zant::kSourceClassMask) &&
                    ((typeFilter & zant::kStandardMask) == 0 || (type & zant::kStandardMask) == (typeFilter & zant::kStandardMask)));
      if (match) list->append(d->exposed());
    }
    *out = list->exposed();
    return plat::S_OK;
  }
  Status GetSourceInfo(const char16_t* channelName, IZantSourceDevice** out) override {
    ZSIM_ENTER("IZantSourceDeviceManager::GetSourceInfo");
    if (channelName == nullptr || out == nullptr) return plat::E_POINTER;
    *out = nullptr;
    std::u16string name(channelName, plat::boundedLength(channelName, plat::kMaxPath));
    Runtime& rt = Runtime::get();
    std::lock_guard lock(rt.mu);
    bool known = false;
    for (const auto& c : rt.channels) known = known || c->info().name == name;
    if (!known) return plat::E_FAIL;
    for (const auto& d : rt.devices) {
      if (d->isLive() && d->present()) {
        *out = d->exposed();
        (*out)->AddRef();
        return plat::S_OK;
      }
    }
    return plat::E_FAIL;
  }
  Status Start(uint32_t, uint32_t) override {
    ZSIM_ENTER("IZantSourceDeviceManager::Start");
    Runtime& rt = Runtime::get();
    Outbox out;
    {
      std::lock_guard lock(rt.mu);
      for (const auto& d : rt.devices) {
        if (!d->present()) continue;
        McPtr<DeviceObj> keep = d;
        out.push_back({rt.deviceSinks, McPtr<IMcUnknown>::share(identity()), zant::kEvSourceArrival,
                       reinterpret_cast<uintptr_t>(d->exposed()), 0, std::shared_ptr<void>(d.get(), [keep](void*) {})});
      }
      out.push_back({rt.deviceSinks, McPtr<IMcUnknown>::share(identity()), zant::kEvDevicesCollected, 0, 0, nullptr});
    }
    rt.deliver(std::move(out));
    return plat::S_OK;
  }
  Status Stop(uint32_t, uint32_t) override {
    ZSIM_ENTER("IZantSourceDeviceManager::Stop");
    return plat::S_OK;
  }

 private:
  ~DeviceManagerObj() override = default;
};

}  // namespace

Status createPlayer(const Guid* iid, void** out) {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  if (iid == nullptr) return plat::E_POINTER;
  if (auto injected = Runtime::get().enter("CoCreateZNMediaPlayer")) return *injected;
  auto* p = new (std::nothrow) PlayerObj();
  if (p == nullptr) return plat::E_OUTOFMEMORY;
  Status s = p->query(*iid, out);
  p->release();
  return s;
}

Status createDeviceManager(const Guid* iid, void** out) {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  if (iid == nullptr) return plat::E_POINTER;
  if (auto injected = Runtime::get().enter("CoCreateZNSourceDeviceManager")) return *injected;
  auto* m = new (std::nothrow) DeviceManagerObj();
  if (m == nullptr) return plat::E_OUTOFMEMORY;
  Status s = m->query(*iid, out);
  m->release();
  return s;
}

}  // namespace zantsim
