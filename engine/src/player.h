// The simulated player: one source at a time (the live tuner or a file),
// channel selection and scans on the live tuner, playback states, file
// position and duration, recording into a growing file, time-shift, snapshots
// and the numbered settings.
//
// PlayerCore holds the state and the rules; the component objects handed out
// (the player with its recorder, snapshot, time-shift, seeking and property-set
// interfaces, and the per-source service-streams object with its channel
// manager and property store) are thin fronts that share one core.
//
// Player states (GetState, event 0x20001), used the same way everywhere:
//   0 closed (no source)   1 stopped   2 paused   3 running
//   4 recording (running and recording)   5 scanning   6 tuning
// Everything that touches the stream itself (a file's length and playback
// clock, the live stream the recorder writes, the picture a snapshot takes,
// the video window) goes through MediaPath (media_path.h), where the decoding
// path plugs in.
#pragma once
#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media_path.h"
#include "objects.h"
#include "plat/file.h"
#include "runtime.h"

namespace zantsim {

struct SettingDef {
  uint32_t kind;  // zant::kSetting*
  int32_t minimum;
  int32_t maximum;
  int32_t factory;
};
const SettingDef& settingDef(uint32_t id);  // id 0..23; id 0 and unknown ids have kind none

class PlayerCore : public std::enable_shared_from_this<PlayerCore> {
 public:
  explicit PlayerCore(IMcUnknown* identity);
  ~PlayerCore();

  // lifecycle of the front object
  void detach();  // the player object is going: close and forget the identity
  IMcUnknown* identity() const { return identity_; }
  const std::shared_ptr<SinkSet>& sinks() const { return sinks_; }
  bool hasSource();

  // IZantMediaPlayer
  Status connect(IMcUnknown* identity, IZantMediaEventSink* sink);
  Status disconnect(IMcUnknown* identity, IZantMediaEventSink* sink);
  Status open(IZantSourceDevice* source, ZantWindow window, const char16_t* path, IMcUnknown* identity,
              IZantMediaEventSink* sink);
  Status closeSource();
  Status getState(int32_t* state);
  Status getSource(IZantSourceDevice** out);
  Status run();
  Status pause();
  Status stop();
  Status getCapabilities(uint32_t* caps);
  Status setVideoWindow(ZantWindow window, int32_t x, int32_t y, int32_t w, int32_t h);

  // settings
  Status getSupportedIds(uint32_t* count, uint32_t* ids);
  Status getDword(uint32_t id, uint32_t* value);
  Status getRange(uint32_t id, int32_t* minimum, int32_t* maximum, int32_t* factory);
  Status getString(uint32_t id, char16_t* buffer, uint32_t capacity);
  Status setDword(uint32_t id, uint32_t value);
  Status getKind(uint32_t id, uint32_t* kind);
  Status setString(uint32_t id, const char16_t* text);

  // recorder, snapshot, time-shift, seeking, property set
  Status recordStart();
  Status recordStop();
  Status recordFileName(char16_t* buffer, uint32_t capacity);
  Status recordBytes(uint64_t* bytes);
  Status snapshot(uint32_t format);
  Status lastSnapshot(char16_t* buffer, uint32_t capacity);
  Status timeShiftStart();
  Status timeShiftStop();
  Status timeShiftLength(ZantTime* record, uint32_t* ms);
  Status timeShiftPosition(ZantTime* record, uint32_t* ms);
  Status timeShiftSeek(uint32_t origin, uint32_t ms);
  Status seekSet(const ZantTime* position);
  Status seekDuration(ZantTime* duration);
  Status seekPosition(ZantTime* position);
  Status propertySet(const Guid& set, uint32_t property, const void* data, uint32_t size);
  Status propertyGet(const Guid& set, uint32_t property, void* data, uint32_t size, uint32_t* returned);

  // service streams
  Status enumStreams(IZantChannel* channel, uint32_t kind, IZantEnum** out);
  Status applyStream(IZantChannel* channel, IZantStream* stream, uint32_t kind);
  Status signalQuality(uint32_t* quality);
  Status signalLevel(uint32_t* level);
  Status caInfo(IZantCAInfo** out);

  // channel manager
  Status scanRegion(uint32_t country, uint32_t region, IMcUnknown* identity, IZantMediaEventSink* sink);
  Status scanRange(uint32_t startKHz, uint32_t endKHz, uint32_t bandwidthKHz, IMcUnknown* identity,
                   IZantMediaEventSink* sink);
  Status stopScan();
  Status saveList(const char16_t* folder);
  Status restoreList(const char16_t* folder);
  Status getList(IZantEnum** out);
  Status selectById(uint32_t id);
  Status select(IZantChannel* channel);
  Status selectByIndex(int32_t index);
  Status getCurrent(int32_t* index, IZantChannel** channel);
  Status getCount(uint32_t* count);

  // property store
  Status countries(uint32_t sourceType, uint32_t* count, ZantPropertyEntry* list);
  Status regions(uint32_t country, uint32_t* count, ZantPropertyEntry* list);
  Status storeGet(uint32_t id, uint32_t* value);
  Status storeSet(uint32_t id, uint32_t value);

  // world changes
  void signalChanged();

 private:
  using Lock = std::unique_lock<std::mutex>;
  void emitLocked(Outbox& out, uint32_t code, uintptr_t p1 = 0, uintptr_t p2 = 0, std::shared_ptr<void> keep = nullptr);
  void setStateLocked(Outbox& out, int32_t state);
  uint32_t capabilitiesLocked() const;
  void emitCapsLocked(Outbox& out);
  void closeLocked(Outbox& out);
  bool liveLocked() const;
  std::vector<McPtr<ChannelObj>>& listLocked();  // the source's channel list (runtime.mu held)
  Status tuneLocked(Outbox& out, size_t index);
  uint32_t effectiveSignalLocked() const;
  static uint32_t qualityOf(uint32_t level);
  void scheduleSearchLocked();
  Status startScanLocked(Outbox& out, std::vector<uint32_t> steps, uint32_t bandwidthKHz, uint32_t region,
                         IMcUnknown* identity, IZantMediaEventSink* sink);
  void scanStep();
  Status folderOf(uint32_t settingId, std::u16string* folder);
  void recordTick();
  uint32_t writeDueLocked();
  void stopRecordingLocked(Outbox& out, uint32_t reasonCode);
  uint32_t positionMsLocked() const;
  void scheduleEndOfFileLocked();
  uint32_t timeShiftLengthLocked() const;
  uint32_t timeShiftBehindLocked() const;

  IMcUnknown* identity_;
  std::shared_ptr<SinkSet> sinks_ = std::make_shared<SinkSet>();
  std::shared_ptr<SinkSet> scanSinks_ = std::make_shared<SinkSet>();
  const char scanOwner_ = 0;  // address used to cancel scan work apart from playback work

  // Everything below is guarded by Runtime::mu (the world lock), so channel
  // lists shared between players stay consistent.
  McPtr<DeviceObj> source_;
  std::u16string path_;
  int32_t state_ = zant::kStateClosed;
  ZantWindow window_ = 0;
  std::array<int32_t, 4> videoRect_{};
  uint8_t outputProperty_ = 0;
  uint32_t videoShown_ = 1;
  uint32_t region_ = 0;  // property 81
  std::array<uint32_t, 24> dwords_{};
  std::array<std::u16string, 24> strings_{};

  McPtr<ChannelObj> current_;
  uint32_t lastQuality_ = 0;
  bool searching_ = false;

  struct Scan {
    bool active = false;
    std::vector<uint32_t> steps;
    size_t next = 0;
    uint32_t bandwidthKHz = 0;
    uint32_t region = 0;
    int32_t frequenciesFound = 0;
    std::vector<McPtr<ChannelObj>> found;
    int32_t stateBefore = zant::kStateStopped;
  } scan_;

  struct Recording {
    bool active = false;
    plat::File file;
    std::u16string name;
    std::u16string folder;
    uint64_t bytes = 0;
    uint64_t streamStart = 0;  // the path's received-byte count when recording began
  } rec_;
  std::u16string lastSnapshot_;

  struct TimeShift {
    bool active = false;
    uint64_t startTick = 0;
    uint32_t behindBase = 0;
    bool paused = false;
    uint64_t pausedSince = 0;
  } ts_;

  // Receives, decodes and shows the stream (simulated for now).
  std::unique_ptr<MediaPath> media_ = createSimulatedPath();
};

}  // namespace zantsim
