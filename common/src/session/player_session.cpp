// The player session over the media engine (see vexo/player_session.h).
#include "vexo/player_session.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "plat/clock.h"
#include "plat/debug.h"
#include "plat/file.h"
#include "plat/text.h"
#include "plat/thread.h"
#include "plat/window.h"
#include "vexo/playlist.h"
#include "vexo/setting.h"
#include "vexo/sink_list.h"
#include "vexo/source_manager.h"

namespace vexo {
namespace {

using plat::E_FAIL;
using plat::E_INVALIDARG;
using plat::E_NOTIMPL;
using plat::S_OK;

constexpr uint32_t kTextCapacity = 260;
constexpr size_t kMaxFileTypes = 128;
constexpr size_t kMaxFileTypeLength = 31;
constexpr char16_t kChannelListFolder[] = u"Norvale\\Ondavue\\ChannelList\\";

// Control-flag bits.
constexpr uint32_t kFlagsOpened = 0x3001;
constexpr uint32_t kFlagsRecordDone = 0x2001;
constexpr uint32_t kFlagsChannels = 0x30;
constexpr uint32_t kFlagsTimeShift = 0xC000;
constexpr uint32_t kFlagsRecordMask = 0x20F7;
constexpr uint32_t kFlagsRecording = 0x208;
constexpr uint32_t kFlagsRecordStopped = 0x20F1;
constexpr uint32_t kFlagsStopped = 0x2073;
constexpr uint32_t kFlagsCapabilityMask = 0x2 | 0x4 | 0x8 | 0x40 | 0x80 | 0x100 | 0x200 | 0x400 | 0x10000;

// Engine codes the session acts on.
constexpr uint32_t kEvStateChanged = 0x20001;
constexpr uint32_t kEvCapabilities = 0x20002;
constexpr uint32_t kEvOpened = 0x30002;
constexpr uint32_t kEvScanBegin = 0x30005;
constexpr uint32_t kEvScanProgress = 0x30006;
constexpr uint32_t kEvScanStopped = 0x30007;
constexpr uint32_t kEvScanDone = 0x30008;
constexpr uint32_t kEvService = 0x3000A;
constexpr uint32_t kEvTime = 0x3000B;
constexpr uint32_t kEvMode = 0x30011;
constexpr uint32_t kEvRecordStopped = 0x80008;

constexpr uint32_t kInfiniteWait = 0xFFFFFFFFu;

bool isFileClass(uint32_t type) { return zant::sourceClass(type) == zant::kSourceClassFile; }
bool isLiveClass(uint32_t type) { return zant::sourceClass(type) == zant::kSourceClassLive; }
uint32_t maskedKind(uint32_t type) { return type & ~zant::kSourceClassMask; }

enum class FileKind { TransportStream, CmmbMultiplex, OtherMedia };

bool matchesKind(uint32_t type, FileKind kind) {
  switch (kind) {
    case FileKind::CmmbMultiplex:
      return isFileClass(type) && maskedKind(type) == zant::kFileKindCmmbMultiplex;
    case FileKind::TransportStream:
      return maskedKind(type) == zant::kFileKindTransportStream;
    case FileKind::OtherMedia:
      return maskedKind(type) == zant::kFileKindOtherMedia;
  }
  return false;
}

uint32_t typeOf(IZantSourceDevice* source) {
  uint32_t type = 0;
  if (source == nullptr || plat::failed(source->GetType(&type))) return 0;
  return type;
}

plat::String16 nameOf(IZantSourceDevice* source) {
  if (source == nullptr) return {};
  char16_t buffer[kTextCapacity] = {};
  uint32_t length = kTextCapacity;
  if (plat::failed(source->GetName(buffer, &length))) return {};
  return plat::String16(buffer, plat::boundedLength(buffer, kTextCapacity));
}

// The first source of the manager whose type matches, with the enumeration's reference.
McPtr<IZantSourceDevice> findSource(IVexoCmnSourceManager* sources, FileKind kind) {
  McPtr<IVexoCmnCollection> all;
  McPtr<IZantSourceDevice> found;
  if (sources == nullptr || plat::failed(sources->EnumSources(0, all.put())) || !all) return found;
  forEachItem(all.get(), [&](IMcUnknown* item) {
    auto device = mcQuery<IZantSourceDevice>(item);
    if (device && matchesKind(typeOf(device.get()), kind)) {
      found = device;
      return false;
    }
    return true;
  });
  return found;
}

bool endsWithNoCase(plat::StringView16 text, plat::StringView16 suffix) {
  return text.size() >= suffix.size() && plat::equalsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

class PlayerSession final : public McObject<IVexoCmnPlayerSession, IZantMediaEventSink> {
 public:
  PlayerSession() = default;

  // ---- engine binding ----
  Status SetMediaPlayer(IZantMediaPlayer* player) override {
    if (player == nullptr) return E_FAIL;
    auto adopted = McPtr<IZantMediaPlayer>::adopt(player);
    auto settings = mcQuery<IZantPlayerSettings>(player);
    std::lock_guard lock(mutex_);
    player_ = std::move(adopted);
    engineSettings_ = std::move(settings);
    return S_OK;
  }
  IZantMediaPlayer* GetMediaPlayer() override {
    std::lock_guard lock(mutex_);
    return player_.get();
  }
  Status SetSetting(IVexoCmnSetting* store) override {
    store_ = store;
    uint32_t type = 0;
    if (store_ != nullptr && plat::succeeded(store_->GetDWORD("/Setting/ChannelType", &type))) channelType_ = type;
    return S_OK;
  }
  IVexoCmnSetting* GetSetting() override { return store_; }

  Status SetVideoWindow(ZantWindow window) override {
    window_ = window;
    auto player = held(player_);
    if (!player) return S_OK;
    plat::Rect r = plat::windowRect(plat::Window{static_cast<uint32_t>(window)});
    return player->SetVideoWindow(window, r.left - 1, r.top + 1, (r.right - r.left) - 1, (r.bottom - r.top) - 1);
  }
  ZantWindow GetVideoWindow() override { return window_; }

  Status Advise(IZantMediaEventSink* sink) override {
    Status s = sinks_.advise(sink);
    if (plat::failed(s)) return s;
    setFlags(kFlagsOpened);
    return S_OK;
  }
  Status Unadvise(IZantMediaEventSink* sink) override {
    Status s = sinks_.unadvise(sink);
    return s == E_INVALIDARG ? s : S_OK;
  }

  IZantSourceDevice* GetSource() override {
    std::lock_guard lock(mutex_);
    return source_.get();
  }
  uint32_t GetSourceType() override { return sourceType_.load(); }
  uint32_t GetCapabilities() override { return capabilities_.load(); }
  uint32_t GetControlFlags() override { return flags_.load(); }
  Status GetState(int32_t* state, uint32_t timeoutMs) override {
    if (state == nullptr) return E_INVALIDARG;
    auto player = held(player_);
    if (!player) return E_FAIL;
    return player->GetState(state, timeoutMs);
  }

  // ---- sources ----
  Status OpenSource(IZantSourceDevice* source) override {
    {
      std::lock_guard lock(mutex_);
      if (source != nullptr && source_.get() == source) return S_OK;
    }
    if (source == nullptr) return E_INVALIDARG;
    auto player = held(player_);
    if (!player) return E_FAIL;
    Close();
    makeCurrent(McPtr<IZantSourceDevice>::share(source), nullptr, -1);
    player->Open(source, window_, nullptr, identity(), sinkSelf());
    plat::String16 name = nameOf(source);
    if (store_ != nullptr) {
      store_->SetString("/Setting/Scan/LiveInSourceName", name.c_str());
      store_->SetString("/Setting/Scan/FileSourceName", u"");
      store_->SetString("/Setting/LastFile", u"");
      store_->SetDWORD("/Setting/LastFileChannel", 0);
    }
    fire(kSessionOpened, 0, 0);
    applySettingsAfterOpen();
    return S_OK;
  }

  Status OpenFile(IVexoCmnSourceManager* sources, const char16_t* path) override {
    if (path == nullptr) return E_INVALIDARG;
    plat::StringView16 p(path);
    bool cmmb = p.size() >= 5 && (endsWithNoCase(p, u".mfs") || endsWithNoCase(p, u".msf"));
    auto found = findSource(sources, cmmb ? FileKind::CmmbMultiplex : FileKind::TransportStream);
    auto player = held(player_);
    if (!found || !player) return E_FAIL;
    Close();
    IZantSourceDevice* source = found.get();
    makeCurrent(found, nullptr, -1);
    player->Open(source, window_, path, identity(), sinkSelf());
    fire(kSessionOpened, 0, 0);
    if (store_ != nullptr) {
      store_->SetString("/Setting/Scan/FileSourceName", nameOf(source).c_str());
      store_->SetString("/Setting/LastFile", path);
    }
    applySettingsAfterOpen();
    return S_OK;
  }

  Status OpenPlaylistItem(IVexoCmnSourceManager* sources, IVexoCmnPlaylist* playlist, int32_t index) override {
    auto player = held(player_);
    if (busy_.load() != 0 || !player) return E_FAIL;
    if (sources == nullptr || playlist == nullptr || index < 0 ||
        static_cast<uint32_t>(index) >= playlist->GetItemCount())
      return E_INVALIDARG;
    auto item = McPtr<IVexoCmnPlaylistItem>::adopt(playlist->GetItem(static_cast<uint32_t>(index)));
    char16_t pathBuffer[kTextCapacity] = {};
    if (!item || plat::failed(item->GetPath(pathBuffer, kTextCapacity))) return E_FAIL;
    plat::String16 path(pathBuffer, plat::boundedLength(pathBuffer, kTextCapacity));

    size_t dot = path.rfind(u'.');
    plat::String16 extension = dot == plat::String16::npos ? plat::String16() : path.substr(dot);
    FileKind kind = FileKind::OtherMedia;
    if (plat::equalsNoCase(extension, u".mfs") || plat::equalsNoCase(extension, u".msf"))
      kind = FileKind::CmmbMultiplex;
    else if (plat::equalsNoCase(extension, u".ts") || plat::equalsNoCase(extension, u".trp"))
      kind = FileKind::TransportStream;
    auto found = findSource(sources, kind);
    if (!found) return E_FAIL;

    auto keptPlaylist = McPtr<IVexoCmnPlaylist>::share(playlist);
    Close();
    IZantSourceDevice* source = found.get();
    makeCurrent(found, keptPlaylist, index);
    player->Open(source, window_, path.c_str(), identity(), sinkSelf());
    SetVideoWindow(window_);
    fire(kSessionOpened, 0, 0);
    if (store_ != nullptr) {
      char16_t listName[kTextCapacity] = {};
      if (plat::succeeded(playlist->GetName(listName, kTextCapacity)))
        store_->SetString("/Setting/LastPlayList/Name", listName);
      store_->SetDWORD("/Setting/LastPlayList/Index", static_cast<uint32_t>(index));
    }
    applySettingsAfterOpen();
    recomputeChannelFlags();
    if (kind == FileKind::OtherMedia) {
      fire(kEvService, 0, 0);
      Play(0);
    } else if (GetChannelCount() != 0) {
      SelectChannelByIndex(0);
    }
    if (!extension.empty() && isRegisteredExtension(extension)) registeredType_.store(1);
    return S_OK;
  }

  Status OpenPlaylistIndex(IVexoCmnSourceManager* sources, int32_t index) override {
    auto playlist = held(playlist_);
    if (!playlist) return E_FAIL;
    return OpenPlaylistItem(sources, playlist.get(), index);
  }
  IVexoCmnPlaylist* GetPlaylist() override {
    std::lock_guard lock(mutex_);
    return playlist_.get();
  }
  Status GetPlaylistIndex(int32_t* index) override {
    if (index == nullptr) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    *index = playlistIndex_;
    return S_OK;
  }

  Status Close() override { return closeSource(false); }
  Status CloseQuiet() override { return closeSource(true); }

  // ---- playback ----
  Status Play(uint32_t arg) override {
    auto player = held(player_);
    if (!player) return E_FAIL;
    Status s = player->Run(arg);
    SetVideoWindow(window_);
    if (plat::failed(s)) return s;
    reapplySettings(1, 11);
    return S_OK;
  }
  Status Pause() override {
    auto player = held(player_);
    if (!player) return E_FAIL;
    Status s = player->Pause();
    return plat::succeeded(s) ? S_OK : s;
  }
  Status Suspend() override {
    auto player = held(player_);
    if (!player) return E_FAIL;
    if (isLiveClass(sourceType_.load())) StartTimeShift(0);
    return player->Suspend();
  }
  Status Stop() override {
    auto player = held(player_);
    if (!player) return E_FAIL;
    StopTimeShift();
    Status s = player->Stop();
    if (plat::failed(s)) return s;
    if (isFileClass(sourceType_.load())) s = Seek(0);
    setFlags(kFlagsStopped);
    return s;
  }

  Status Seek(uint32_t ms) override {
    ZantTime t = msToTime(ms);
    return SeekTime(&t);
  }
  Status SeekTime(const ZantTime* time) override {
    if (time == nullptr) return E_INVALIDARG;
    auto seeking = engineQuery<IZantMediaSeeking>();
    if (!seeking) return E_FAIL;
    return seeking->SetPosition(time);
  }
  Status GetDuration(uint32_t* ms) override {
    if (ms == nullptr) return E_INVALIDARG;
    ZantTime t{};
    Status s = GetDurationTime(&t);
    if (plat::succeeded(s)) *ms = timeToMs(t);
    return s;
  }
  Status GetDurationTime(ZantTime* time) override {
    if (time == nullptr) return E_INVALIDARG;
    auto seeking = engineQuery<IZantMediaSeeking>();
    if (!seeking) return E_FAIL;
    return seeking->GetDuration(time);
  }
  Status GetPosition(uint32_t* ms) override {
    if (ms == nullptr) return E_INVALIDARG;
    ZantTime t{};
    Status s = GetPositionTime(&t);
    if (plat::succeeded(s)) *ms = timeToMs(t);
    return s;
  }
  Status GetPositionTime(ZantTime* time) override {
    if (time == nullptr) return E_INVALIDARG;
    auto player = held(player_);
    if (!player) return E_FAIL;
    int32_t state = -1;
    if (plat::succeeded(player->GetState(&state, kInfiniteWait)) && state == zant::kStateStopped) {
      *time = msToTime(0);
      return S_OK;
    }
    auto seeking = mcQuery<IZantMediaSeeking>(player.get());
    if (!seeking) return E_FAIL;
    return seeking->GetPosition(time);
  }

  // ---- recording, snapshots, time-shift ----
  Status TakeSnapshot() override {
    auto snapshot = held(snapshot_);
    if (!snapshot) return E_FAIL;
    if (!folderExists(zant::kSetSnapshotPath)) return kFolderMissing;
    return snapshot->Take(1);
  }
  Status StartRecord() override {
    auto recorder = held(recorder_);
    if (!recorder) return E_FAIL;
    if (!folderExists(zant::kSetRecordPath)) return kFolderMissing;
    Status s = recorder->Start();
    if (plat::succeeded(s)) updateFlags(kFlagsRecordMask, kFlagsRecording);
    return s;
  }
  Status StopRecord() override {
    auto recorder = held(recorder_);
    if (!recorder) return E_FAIL;
    int32_t state = -1;
    if (plat::failed(GetState(&state, kInfiniteWait)) || state != zant::kStateRecording) return plat::S_FALSE;
    Status s = recorder->Stop();
    setFlags(kFlagsRecordStopped);
    return s;
  }
  Status StartTimeShift(uint32_t arg) override {
    auto timeShift = engineQuery<IZantTimeShift>();
    if (!timeShift) return E_FAIL;
    if (!folderExists(zant::kSetTimeShiftPath)) return kFolderMissing;
    Status s = timeShift->Start(arg);
    if (plat::succeeded(s)) {
      setFlags(kFlagsTimeShift);
      fire(kSessionTimeShiftStarted, 0, 0);
    }
    return s;
  }
  Status StopTimeShift() override {
    auto timeShift = engineQuery<IZantTimeShift>();
    if (!timeShift) return E_FAIL;
    Status s = timeShift->Stop();
    if (plat::succeeded(s)) {
      clearFlags(kFlagsTimeShift);
      fire(kSessionTimeShiftStopped, 0, 0);
    }
    return s;
  }
  Status GetTimeShiftLength(uint32_t* ms) override {
    if (ms == nullptr) return E_INVALIDARG;
    auto timeShift = engineQuery<IZantTimeShift>();
    if (!timeShift) return E_FAIL;
    ZantTime t{};
    return timeShift->GetLength(&t, ms);
  }
  Status GetTimeShiftLengthTime(ZantTime* time) override {
    if (time == nullptr) return E_INVALIDARG;
    auto timeShift = engineQuery<IZantTimeShift>();
    if (!timeShift) return E_FAIL;
    uint32_t ms = 0;
    return timeShift->GetLength(time, &ms);
  }
  Status GetTimeShiftPosition(uint32_t* ms) override {
    if (ms == nullptr) return E_INVALIDARG;
    auto timeShift = engineQuery<IZantTimeShift>();
    if (!timeShift) return E_FAIL;
    ZantTime t{};
    return timeShift->GetPosition(&t, ms);
  }
  Status GetTimeShiftPositionTime(ZantTime* time) override {
    if (time == nullptr) return E_INVALIDARG;
    auto timeShift = engineQuery<IZantTimeShift>();
    if (!timeShift) return E_FAIL;
    uint32_t ms = 0;
    return timeShift->GetPosition(time, &ms);
  }
  // ms is a position from the start of the buffer; the engine seeks by the
  // distance behind live. A value past the end clamps to live.
  Status SeekTimeShift(uint32_t ms) override {
    auto timeShift = engineQuery<IZantTimeShift>();
    if (!timeShift) return E_FAIL;
    uint32_t length = 0;
    Status s = GetTimeShiftLength(&length);
    if (plat::failed(s)) return s;
    if (ms > length) ms = length;
    return timeShift->Seek(0, length - ms);
  }
  Status SeekTimeShiftTime(const ZantTime* time) override {
    if (time == nullptr) return E_INVALIDARG;
    return SeekTimeShift(timeToMs(*time));
  }

  Status ShowVideo(uint32_t show) override {
    auto player = held(player_);
    if (!player) return E_FAIL;
    auto propertySet = mcQuery<IZantPropertySet>(player.get());
    if (!propertySet) return E_FAIL;
    uint32_t flag = show;
    Status s = plat::S_OK;
    {
      // The engine's value is written under the same lock that changes the
      // stack, so the last value written always matches the stack, whichever
      // thread (user interface or engine) calls.
      std::lock_guard lock(hideMutex_);
      if (flag != 0) {
        if (hideDepth_ > 0) --hideDepth_;
        if (hideDepth_ > 0) flag = 0;
      } else {
        ++hideDepth_;
      }
      s = propertySet->Set(zant::kPropSetVideo, 1, &flag, sizeof(flag));
    }
    if (flag == 0) plat::sleepMs(40);  // let the overlay settle before a dialog paints over it
    return s;
  }

  // ---- channels ----
  Status SaveChannelList() override {
    auto channels = held(channels_);
    plat::String16 folder;
    if (!channels || !channelCacheFolder(&folder)) return E_FAIL;
    Status s = plat::createDirectories(folder);
    if (plat::failed(s)) return s;
    return channels->Save(folder.c_str());
  }
  Status RestoreChannelList() override {
    auto channels = held(channels_);
    plat::String16 folder;
    if (!channels || !channelCacheFolder(&folder)) return E_FAIL;
    uint64_t before = plat::tickCount();
    Status s = channels->Restore(folder.c_str());
    plat::debugPrintf("UI: Restore Channel List time count: %d\n", static_cast<int>(plat::tickCount() - before));
    recomputeChannelFlags();
    return s;
  }
  Status ScanRegion(uint32_t country, uint32_t region) override {
    auto channels = held(channels_);
    if (!channels) return E_FAIL;
    return channels->ScanRegion(country, region, identity(), sinkSelf());
  }
  Status ScanRange(uint32_t startKHz, uint32_t endKHz, uint32_t bandwidthKHz) override {
    auto channels = held(channels_);
    if (!channels) return E_FAIL;
    return channels->ScanRange(startKHz, endKHz, bandwidthKHz, identity(), sinkSelf());
  }
  Status StopScan(uint32_t reserved1, uint32_t reserved2) override {
    auto channels = held(channels_);
    if (!channels) return E_FAIL;
    return channels->StopScan(reserved1, reserved2);
  }

  Status SelectChannelById(uint32_t id) override {
    if (id == 0) return E_FAIL;
    return selectChannel([&](IZantChannelManager* m) { return m->SelectById(id); }, [](int32_t) { return false; });
  }
  Status SelectChannelByIndex(int32_t index) override {
    return selectChannel([&](IZantChannelManager* m) { return m->SelectByIndex(index); },
                         [&](int32_t state) { return state == zant::kStateRunning && GetCurrentChannelIndex() == index; });
  }
  Status SelectChannel(IZantChannel* channel) override {
    if (channel == nullptr) return E_FAIL;
    return selectChannel([&](IZantChannelManager* m) { return m->Select(channel); },
                         [&](int32_t) {
                           auto current = McPtr<IZantChannel>::adopt(GetCurrentChannel());
                           return current.get() == channel;
                         });
  }
  IZantChannel* GetCurrentChannel() override {
    auto channels = held(channels_);
    if (!channels) return nullptr;
    int32_t index = -1;
    IZantChannel* channel = nullptr;
    if (plat::failed(channels->GetCurrent(&index, &channel))) return nullptr;
    return channel;
  }
  int32_t GetCurrentChannelIndex() override {
    auto channels = held(channels_);
    if (!channels) return -1;
    int32_t index = -1;
    McPtr<IZantChannel> channel;
    if (plat::failed(channels->GetCurrent(&index, channel.put()))) return -1;
    return index;
  }
  Status PreviousChannel() override { return stepChannel(false); }
  Status NextChannel() override { return stepChannel(true); }

  Status DisableAllStreams(IZantChannel* channel) override {
    auto streams = held(streams_);
    McPtr<IZantEnum> list;
    Status s = EnumStreams(channel, list.put());
    if (plat::failed(s)) return s;
    Status last = E_FAIL;
    forEachItem(list.get(), [&](IMcUnknown* item) {
      auto stream = mcQuery<IZantStream>(item);
      if (stream) {
        stream->SetDisabled(1);
        last = streams->ApplySubtitle(channel, stream.get());
      }
      return true;
    });
    return last;
  }
  Status SelectStream(IZantChannel* channel, int32_t index) override {
    auto streams = held(streams_);
    McPtr<IZantEnum> list;
    Status s = EnumStreams(channel, list.put());
    if (plat::failed(s)) return s;
    Status last = E_FAIL;
    int32_t i = 0;
    forEachItem(list.get(), [&](IMcUnknown* item) {
      auto stream = mcQuery<IZantStream>(item);
      if (stream) {
        stream->SetDisabled(i != index ? 1 : 0);
        last = streams->ApplySubtitle(channel, stream.get());
      }
      ++i;
      return true;
    });
    return last;
  }
  int32_t GetSelectedStream(IZantChannel* channel) override {
    McPtr<IZantEnum> list;
    if (plat::failed(EnumStreams(channel, list.put()))) return -1;
    int32_t selected = -1;
    int32_t i = 0;
    forEachItem(list.get(), [&](IMcUnknown* item) {
      auto stream = mcQuery<IZantStream>(item);
      uint32_t disabled = 1;
      if (stream && plat::succeeded(stream->GetDisabled(&disabled)) && disabled == 0) selected = i;
      ++i;
      return true;
    });
    return selected;
  }
  int32_t SupportsParentalAge() override { return supportsId(zant::kSetParentalAge); }
  int32_t SupportsParentalContent() override { return supportsId(zant::kSetParentalContent); }
  uint32_t GetChannelType() override { return channelType_.load(); }
  Status SetChannelType(uint32_t type) override {
    channelType_ = type;
    return S_OK;
  }
  uint32_t GetChannelCount() override {
    auto channels = held(channels_);
    uint32_t count = 0;
    if (!channels || plat::failed(channels->GetCount(&count))) return 0;
    return count;
  }
  Status GetChannelList(IZantEnum** out) override {
    if (out == nullptr) return plat::E_POINTER;
    *out = nullptr;
    auto channels = held(channels_);
    if (!channels) return E_FAIL;
    return channels->GetList(out);
  }
  Status GetFilteredChannelList(IVexoCmnCollection** out) override {
    if (out == nullptr) return plat::E_POINTER;
    *out = nullptr;
    McPtr<IZantEnum> all;
    Status s = GetChannelList(all.put());
    if (plat::failed(s)) return s;
    VexoCmnCollection* filtered = createChannelCollection();
    if (filtered == nullptr) return plat::E_OUTOFMEMORY;
    uint32_t filter = channelType_.load();
    forEachItem(all.get(), [&](IMcUnknown* item) {
      auto channel = mcQuery<IZantChannel>(item);
      uint32_t type = 0;
      if (channel && plat::succeeded(channel->GetType(&type)) && keeps(filter, type)) filtered->append(item);
      return true;
    });
    *out = filtered->exposed();
    return S_OK;
  }
  Status EnumStreams(IZantChannel* channel, IZantEnum** out) override {
    if (channel == nullptr) return E_INVALIDARG;
    if (out == nullptr) return plat::E_POINTER;
    *out = nullptr;
    auto streams = held(streams_);
    if (!streams) return E_FAIL;
    return streams->EnumSubtitles(channel, out);
  }

  // ---- settings by id ----
  Status GetSettingDWORD(uint32_t id, uint32_t* value) override {
    const char* path = sessionSettingPath(id);
    if (path == nullptr || value == nullptr) return E_INVALIDARG;
    if (store_ == nullptr || *path == '\0') return E_FAIL;
    return store_->GetDWORD(path, value);
  }
  Status SetSettingDWORD(uint32_t id, uint32_t value, uint32_t save) override {
    const char* path = sessionSettingPath(id);
    if (path == nullptr) return E_INVALIDARG;
    auto settings = held(engineSettings_);
    if (!settings || store_ == nullptr) return E_FAIL;
    if (id == zant::kSetSyncTime) fire(kSessionTimeChanged, 0, 0);
    Status stored = S_OK;
    if (save != 0 && *path != '\0') stored = store_->SetDWORD(path, value);
    if (plat::failed(stored)) return stored;
    uint32_t engineValue = value;
    if (id == zant::kSetContrast || id == zant::kSetBrightness || id == zant::kSetSaturation)
      engineValue = static_cast<uint32_t>(static_cast<uint64_t>(value) * 255u / 100u);
    return settings->SetDWORD(id, engineValue);
  }
  Status GetSettingString(uint32_t id, char16_t* buffer, uint32_t capacity) override {
    const char* path = sessionSettingPath(id);
    if (path == nullptr || buffer == nullptr || capacity == 0) return E_INVALIDARG;
    if (store_ == nullptr || *path == '\0') return E_FAIL;
    return store_->GetString(path, buffer, capacity);
  }
  Status SetSettingString(uint32_t id, const char16_t* text) override {
    const char* path = sessionSettingPath(id);
    if (path == nullptr || text == nullptr) return E_INVALIDARG;
    auto settings = held(engineSettings_);
    if (!settings || store_ == nullptr) return E_FAIL;
    if (*path != '\0') {
      Status stored = store_->SetString(path, text);
      if (plat::failed(stored)) return stored;
    }
    return settings->SetString(id, text);
  }
  uint32_t GetMode() override { return mode_.load(); }

  Status QueryEngineInterface(const Guid& iid, void** out) override {
    if (out == nullptr) return E_FAIL;
    *out = nullptr;
    if (iid == IZantTimeShift::iid) {
      auto player = held(player_);
      if (!player) return E_FAIL;
      return plat::succeeded(player->QueryInterface(iid, out)) ? S_OK : E_FAIL;
    }
    std::lock_guard lock(mutex_);
    if (iid == IZantServiceStreams::iid) *out = streams_.get();
    else if (iid == IZantChannelManager::iid) *out = channels_.get();
    else if (iid == IZantPlayerSettings::iid) *out = engineSettings_.get();
    else if (iid == IZantRecorder::iid) *out = recorder_.get();
    else if (iid == IZantSnapshot::iid) *out = snapshot_.get();
    else if (iid == IZantPropertyStore::iid) *out = properties_.get();
    else return E_FAIL;
    return S_OK;
  }

  int32_t GetUseJapaneseFont() override {
    uint8_t value = 0;
    if (store_ == nullptr || plat::failed(store_->GetBool("/Setting/UseJapaneseFont", &value))) return 0;
    return value;
  }
  Status SetSourceUseJapaneseFont(int32_t flag) override {
    auto source = held(source_);
    if (store_ == nullptr || !source) return E_FAIL;
    std::string element = xmlSafeSourceName(nameOf(source.get()));
    if (element.empty()) return E_FAIL;  // a nameless source has no place in the store
    return store_->SetBool(("/Setting/" + element + "/UseJapaneseFont").c_str(), flag);
  }
  int32_t IsRegisteredFileType() override { return registeredType_.load(); }
  Status RegisterFileType(const char16_t* extension) override {
    if (extension == nullptr) return E_INVALIDARG;
    plat::StringView16 text(extension);
    if (text.empty() || text.size() > kMaxFileTypeLength) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    if (fileTypes_.size() >= kMaxFileTypes) return E_FAIL;
    fileTypes_.emplace_back(text);
    return S_OK;
  }
  Status SetBusy(uint32_t busy) override {
    busy_ = busy;
    return S_OK;
  }
  Status SetEngineProperty(uint32_t id, uint32_t value) override {
    auto properties = held(properties_);
    if (!properties) return E_NOTIMPL;
    return properties->Set(id, value);
  }

  // ---- the engine's sink ----
  Status OnEvent(IMcUnknown*, uint32_t code, uintptr_t p1, uintptr_t p2) override {
    sinks_.fire(identity(), code, p1, p2);
    switch (code) {
      case kEvOpened:
        setFlags(kFlagsOpened);
        if (isFileClass(sourceType_.load())) recomputeChannelFlags();
        break;
      case kEvRecordStopped:
        setFlags(kFlagsRecordDone);
        break;
      case kEvStateChanged: {
        uint32_t duration = 0;
        if (p1 == zant::kStateRunning && plat::succeeded(GetDuration(&duration)))
          setFlags(kFlagsTimeShift);
        else
          clearFlags(kFlagsTimeShift);
        break;
      }
      case kEvCapabilities:
        capabilities_ = static_cast<uint32_t>(p2);
        applyCapabilities();
        break;
      case kEvScanStopped:
      case kEvScanDone:
        recomputeChannelFlags();
        break;
      case kEvScanBegin:
        fire(kSessionScanBegin, 0, 0);
        break;
      case kEvScanProgress:
        fire(kSessionScanProgress, p1, p2);
        break;
      case kEvTime:
        fire(kSessionTimeChanged, 0, 0);
        break;
      case kEvService:
        if (p1 != 0) mode_ = 2;
        break;
      case kEvMode:
        mode_ = static_cast<uint32_t>(p1);
        break;
      default:
        break;
    }
    return S_OK;
  }

 private:
  ~PlayerSession() override {
    // The engine holds a reference to the session's sink while it calls it,
    // and Close makes it call; a count held here keeps those calls from
    // destroying the object a second time.
    addRef();
    Close();
    std::lock_guard lock(mutex_);
    // Close has released and cleared the per-source interfaces; what is left
    // is released exactly once here.
    engineSettings_.reset();
    snapshot_.reset();
    recorder_.reset();
    player_.reset();
  }

  IZantMediaEventSink* sinkSelf() { return static_cast<IZantMediaEventSink*>(this); }

  template <class T>
  McPtr<T> held(const McPtr<T>& p) {
    std::lock_guard lock(mutex_);
    return p;
  }
  template <class I>
  McPtr<I> engineQuery() {
    auto player = held(player_);
    return mcQuery<I>(player.get());
  }

  void makeCurrent(McPtr<IZantSourceDevice> source, McPtr<IVexoCmnPlaylist> playlist, int32_t index) {
    uint32_t type = typeOf(source.get());
    std::lock_guard lock(mutex_);
    source_ = std::move(source);
    playlist_ = std::move(playlist);
    playlistIndex_ = index;
    sourceType_ = type;
  }

  // ---- control flags: atomic so engine and user-interface threads never lose an update ----
  void fire(uint32_t code, uintptr_t p1, uintptr_t p2) { sinks_.fire(identity(), code, p1, p2); }
  void setFlags(uint32_t bits) { fire(kSessionControlFlags, flags_.fetch_or(bits) | bits, 0); }
  void clearFlags(uint32_t bits) { fire(kSessionControlFlags, flags_.fetch_and(~bits) & ~bits, 0); }
  // Clears `clear`, then sets `set`, as one step.
  void updateFlags(uint32_t clear, uint32_t set) {
    uint32_t old = flags_.load();
    uint32_t now = 0;
    do {
      now = (old & ~clear) | set;
    } while (!flags_.compare_exchange_weak(old, now));
    fire(kSessionControlFlags, now, 0);
  }

  void applyCapabilities() {
    uint32_t c = capabilities_.load();
    uint32_t bits = 0;
    bool playable = (c & (zant::kCapPlayLive | zant::kCapPlayFile)) != 0;
    bool otherMedia = maskedKind(sourceType_.load()) == zant::kFileKindOtherMedia;
    if (playable && (otherMedia || GetCurrentChannelIndex() != -1)) bits |= 0x2;
    if (c & 0x20000) bits |= 0x4;
    if (c & 0x8) bits |= 0x8;
    if (c & 0x400) bits |= 0x40;
    if (c & 0x40000) bits |= 0x80;
    if (c & 0x80000) bits |= 0x100;
    if (c & 0x200000) bits |= 0x200;
    if (c & 0x100000) bits |= 0x400;
    if (c & 0x400000) bits |= 0x10000;
    updateFlags(kFlagsCapabilityMask, bits);
  }

  void recomputeChannelFlags() {
    auto playlist = held(playlist_);
    bool any = false;
    if (playlist) {
      any = playlist->GetItemCount() > 0;
    } else {
      uint32_t count = GetChannelCount();
      any = isFileClass(sourceType_.load()) ? count > 1 : count > 0;
    }
    if (any)
      setFlags(kFlagsChannels);
    else
      clearFlags(kFlagsChannels);
    fire(kSessionScanEnd, 0, 0);
  }

  static bool keeps(uint32_t filter, uint32_t serviceType) {
    switch (filter) {
      case 0: return true;
      case 1: return serviceType == zant::kServiceDigitalTv || serviceType == zant::kServicePartialTv;
      case 2: return serviceType == zant::kServiceDigitalAudio || serviceType == zant::kServiceData;
      default: return false;
    }
  }

  bool isRegisteredExtension(plat::StringView16 extension) {
    std::lock_guard lock(mutex_);
    for (const auto& t : fileTypes_)
      if (plat::equalsNoCase(t, extension)) return true;
    return false;
  }

  int32_t supportsId(uint32_t id) {
    auto settings = held(engineSettings_);
    if (!settings) return 0;
    uint32_t ids[kTextCapacity] = {};
    uint32_t count = kTextCapacity;
    if (plat::failed(settings->GetSupportedIds(&count, ids))) return 0;
    if (count > kTextCapacity) count = kTextCapacity;
    for (uint32_t i = 0; i < count; ++i)
      if (ids[i] == id) return 1;
    return 0;
  }

  bool folderExists(uint32_t id) {
    char16_t folder[kTextCapacity] = {};
    if (plat::failed(GetSettingString(id, folder, kTextCapacity))) return false;
    uint32_t attributes = 0;
    return plat::succeeded(plat::getAttributes(folder, &attributes)) && (attributes & plat::kAttrDirectory) != 0;
  }

  bool channelCacheFolder(plat::String16* folder) {
    auto source = held(source_);
    if (!source) return false;
    plat::String16 path = residentFlashPath() + kChannelListFolder + pathSafeSourceName(nameOf(source.get()));
    if (path.size() >= kTextCapacity) return false;  // a cut path would name another folder
    *folder = std::move(path);
    return true;
  }

  void reapplySettings(uint32_t first, uint32_t last) {
    for (uint32_t id = first; id <= last; ++id) reapplyDword(id);
  }
  void reapplyDword(uint32_t id) {
    uint32_t value = 0;
    if (plat::succeeded(GetSettingDWORD(id, &value))) SetSettingDWORD(id, value, 1);
  }

  void applySettingsAfterOpen() {
    auto player = held(player_);
    if (!player) return;
    McPtr<IZantServiceStreams> streams;
    McPtr<IZantChannelManager> channels;
    McPtr<IZantPropertyStore> properties;
    if (plat::succeeded(player->GetServiceStreams(streams.put())) && streams) {
      channels = mcQuery<IZantChannelManager>(streams.get());
      properties = mcQuery<IZantPropertyStore>(streams.get());
    }
    auto snapshot = mcQuery<IZantSnapshot>(player.get());
    auto recorder = mcQuery<IZantRecorder>(player.get());
    {
      std::lock_guard lock(mutex_);
      streams_ = std::move(streams);
      channels_ = std::move(channels);
      properties_ = std::move(properties);
      snapshot_ = std::move(snapshot);
      recorder_ = std::move(recorder);
    }
    reapplySettings(1, 12);
    for (uint32_t id : {19u, 20u, 15u, 16u}) reapplyDword(id);
    for (uint32_t id : {14u, 18u, 21u}) {
      char16_t text[kTextCapacity] = {};
      if (plat::succeeded(GetSettingString(id, text, kTextCapacity))) SetSettingString(id, text);
    }
    reapplyDword(22);
    plat::String16 cache = residentFlashPath() + kChannelListFolder;
    SetSettingString(zant::kSetChannelCachePath, cache.c_str());
  }

  Status closeSource(bool quiet) {
    auto player = held(player_);
    if (!player) return S_OK;
    Stop();
    OnEvent(identity(), kEvMode, 0, 0);
    registeredType_ = 0;
    McPtr<IVexoCmnPlaylist> playlist;
    McPtr<IZantRecorder> recorder;
    McPtr<IZantSnapshot> snapshot;
    McPtr<IZantServiceStreams> streams;
    McPtr<IZantChannelManager> channels;
    McPtr<IZantPropertyStore> properties;
    McPtr<IZantSourceDevice> source;
    {
      // Take everything out under the lock; release it outside.
      std::lock_guard lock(mutex_);
      playlist = std::move(playlist_);
      playlist_.reset();
      playlistIndex_ = -1;
      recorder = std::move(recorder_);
      snapshot = std::move(snapshot_);
      streams = std::move(streams_);
      channels = std::move(channels_);
      if (!quiet) properties = std::move(properties_);
      source = std::move(source_);
      sourceType_ = 0;
    }
    playlist.reset();
    recorder.reset();
    snapshot.reset();
    streams.reset();
    channels.reset();
    properties.reset();
    if (source) {
      player->CloseSource();
      plat::String16 name = quiet ? nameOf(source.get()) : plat::String16();
      uint32_t left = source->Release();
      source.detach();
      if (quiet)
        plat::debugPrintf("UI: %s gets released, The count is %d\r\n", plat::utf16ToUtf8(name).c_str(),
                          static_cast<int>(left));
      else
        fire(kSessionClosed, 0, 0);
    }
    player->Disconnect(identity(), sinkSelf());
    clearFlags(kFlagsChannels);
    return S_OK;
  }

  template <class SelectFn, class UnchangedFn>
  Status selectChannel(SelectFn&& select, UnchangedFn&& unchanged) {
    auto channels = held(channels_);
    if (!channels) return E_FAIL;
    int32_t state = -1;
    GetState(&state, kInfiniteWait);
    // Recording, scanning and tuning refuse a channel change without complaint.
    if (state == zant::kStateRecording || state == zant::kStateScanning || state == zant::kStateTuning) return S_OK;
    if (unchanged(state)) return S_OK;
    StopTimeShift();
    Stop();
    Status s = select(channels.get());
    if (plat::failed(s)) {
      applyCapabilities();
      return s;
    }
    if (store_ != nullptr) {
      // The source's class, not its name, tells a file from a live tuner.
      const char* path = isFileClass(sourceType_.load()) ? "/Setting/LastFileChannel" : "/Setting/LastChannel";
      store_->SetDWORD(path, static_cast<uint32_t>(GetCurrentChannelIndex()));
    }
    return S_OK;
  }

  Status stepChannel(bool forward) {
    McPtr<IVexoCmnCollection> list;
    Status s = GetFilteredChannelList(list.put());
    if (plat::failed(s)) return s;
    uint32_t n = 0;
    list->GetCount(&n);
    if (n == 0) return E_FAIL;
    auto current = McPtr<IZantChannel>::adopt(GetCurrentChannel());
    uint32_t i = 0;
    bool found = false;
    forEachItem(list.get(), [&](IMcUnknown* item) {
      auto channel = mcQuery<IZantChannel>(item);
      if (current && channel.get() == current.get()) {
        found = true;
        return false;
      }
      ++i;
      return true;
    });
    if (!found) i = n;
    uint32_t target = forward ? (i + n + 1) % n : (i + n - 1) % n;
    list->Reset();
    list->Skip(target);
    IMcUnknown* item = nullptr;
    if (list->Next(1, &item, nullptr) != S_OK || item == nullptr) return E_FAIL;
    auto held_item = McPtr<IMcUnknown>::adopt(item);
    auto channel = mcQuery<IZantChannel>(item);
    if (!channel) return E_FAIL;
    return SelectChannel(channel.get());
  }

  SinkList sinks_;
  std::mutex mutex_;  // guards the interface pointers, the playlist and the file types
  McPtr<IZantMediaPlayer> player_;
  McPtr<IZantPlayerSettings> engineSettings_;
  McPtr<IZantServiceStreams> streams_;
  McPtr<IZantChannelManager> channels_;
  McPtr<IZantPropertyStore> properties_;
  McPtr<IZantRecorder> recorder_;
  McPtr<IZantSnapshot> snapshot_;
  McPtr<IZantSourceDevice> source_;
  McPtr<IVexoCmnPlaylist> playlist_;
  int32_t playlistIndex_ = -1;
  std::vector<plat::String16> fileTypes_;
  IVexoCmnSetting* store_ = nullptr;  // borrowed: the program keeps it alive
  ZantWindow window_ = 0;

  std::atomic<uint32_t> sourceType_{0};
  std::atomic<uint32_t> channelType_{0};
  std::atomic<uint32_t> capabilities_{0};
  std::atomic<uint32_t> flags_{0};
  std::atomic<uint32_t> mode_{0};
  std::atomic<uint32_t> busy_{0};
  std::atomic<int32_t> registeredType_{0};

  std::recursive_mutex hideMutex_;  // held across the engine's property write only
  uint32_t hideDepth_ = 0;  // callers that asked to hide the video
};

}  // namespace
}  // namespace vexo

extern "C" Status CoCreateVexoCmnPlayerSession(IVexoCmnPlayerSession** out) {
  if (out == nullptr) return plat::S_OK;
  *out = nullptr;
  auto* session = new (std::nothrow) vexo::PlayerSession();
  if (session != nullptr) *out = session->exposed();
  return plat::S_OK;
}
