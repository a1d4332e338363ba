// The player session: the one object through which the player program and
// the setting dialogs drive the media engine. It owns the engine player,
// opens one source at a time on it (a live tuner, a recorded file or a
// playlist item), mirrors the numbered engine settings between the settings
// store and the engine, keeps a word of control flags, and passes every
// engine event on to its sinks before acting on it itself.
//
// Threads: the program calls the session on its user-interface thread; the
// engine calls the session's sink on its own threads. What both touch (the
// control flags, the capability word, the mode, the per-source engine
// interfaces, the hide stack) is guarded; engine calls are never made with a
// session lock held.
//
// Choices made for soundness:
//  - The control flags are changed with atomic or / and-not / compare-exchange,
//    so an engine event and a user-interface call never lose each other's bits.
//  - Whether a channel change is remembered as "/Setting/LastChannel" or
//    "/Setting/LastFileChannel" follows the source's class (file sources have
//    class 1), not a comparison of source names.
//  - The per-source flag "/Setting/<source>/UseJapaneseFont" uses the source
//    name made a valid XML element name (xmlSafeSourceName); a nameless source
//    writes nothing. The channel cache folder keeps the file-name-safe form.
//  - Engine states follow the engine's one table: 1 stopped (position zero),
//    3 running, 4 recording (the only state StopRecord acts in), 4 to 6 refuse
//    channel changes.
//  - Close releases and clears every per-source interface; destruction then
//    releases only what is left, each exactly once.
//  - CloseQuiet names the source (for its debug line) before releasing it, and
//    only when there is one.
//  - SeekTimeShift returns a failed length query instead of seeking, and a
//    position past the buffer's end seeks to live.
//  - Setting ids above 23 give E_INVALIDARG; ids 0 and 23 have no store path,
//    so they never read or write the store.
//  - A folder path of 260 characters or more for the channel cache is refused
//    rather than cut (a cut path would name another folder).
//
// Methods are declared in slot order (slots 0 to 2 are QueryInterface,
// AddRef and Release).
#pragma once
#include <cstdint>

#include "vexo/cmn_factories.h"
#include "vexo/collection.h"
#include "zant/engine.h"
#include "zant/event_sink.h"

class IVexoCmnSetting;
class IVexoCmnSourceManager;
class IVexoCmnPlaylist;

namespace vexo {

// Session events (fired by the session itself).
enum SessionEvent : uint32_t {
  kSessionClosed = 0x10000001,
  kSessionControlFlags = 0x10000002,  // p1: the new control flags
  kSessionOpened = 0x10000003,
  kSessionTimeChanged = 0x10000004,
  kSessionTimeShiftStarted = 0x10000005,
  kSessionTimeShiftStopped = 0x10000006,
  kSessionScanBegin = 0x10000007,
  kSessionScanEnd = 0x10000008,  // the channel flags were recomputed
  kSessionScanProgress = 0x10000009,
};

// Setting ids 0 to 23: the engine's setting id and the index of the store path.
inline constexpr uint32_t kSessionSettingCount = 24;
// The store path of an id ("" for 0 and 23, which have none); null above 23.
const char* sessionSettingPath(uint32_t id);

// The result when a configured recording, snapshot or time-shift folder is missing.
inline constexpr Status kFolderMissing = static_cast<Status>(0x81000001u);

// Date-time record <-> milliseconds (only hour to millisecond are used).
uint32_t timeToMs(const ZantTime& t);
ZantTime msToTime(uint32_t ms);

// The source name with the characters a file name cannot hold replaced by
// '_' (the channel cache folder's last component).
plat::String16 pathSafeSourceName(plat::StringView16 name);
// The source name turned into a valid XML element name: every character a
// name cannot hold becomes '_', and '_' is put in front when the first
// character cannot start a name. Empty for an empty name.
std::string xmlSafeSourceName(plat::StringView16 name);

}  // namespace vexo

class IVexoCmnPlayerSession : public IMcUnknown {
 public:
  static constexpr Guid iid = IID_IVexoCmnPlayerSession;

  /*3*/ virtual Status SetMediaPlayer(IZantMediaPlayer* player) = 0;
  /*4*/ virtual IZantMediaPlayer* GetMediaPlayer() = 0;
  /*5*/ virtual Status SetSetting(IVexoCmnSetting* store) = 0;
  /*6*/ virtual IVexoCmnSetting* GetSetting() = 0;
  /*7*/ virtual Status SetVideoWindow(ZantWindow window) = 0;
  /*8*/ virtual ZantWindow GetVideoWindow() = 0;
  /*9*/ virtual Status Advise(IZantMediaEventSink* sink) = 0;
  /*10*/ virtual Status Unadvise(IZantMediaEventSink* sink) = 0;
  /*11*/ virtual IZantSourceDevice* GetSource() = 0;
  /*12*/ virtual uint32_t GetSourceType() = 0;
  /*13*/ virtual uint32_t GetCapabilities() = 0;
  /*14*/ virtual uint32_t GetControlFlags() = 0;
  /*15*/ virtual Status GetState(int32_t* state, uint32_t timeoutMs) = 0;
  /*16*/ virtual Status OpenSource(IZantSourceDevice* source) = 0;
  /*17*/ virtual Status OpenFile(IVexoCmnSourceManager* sources, const char16_t* path) = 0;
  /*18*/ virtual Status Close() = 0;
  /*19*/ virtual Status CloseQuiet() = 0;
  /*20*/ virtual Status Play(uint32_t arg) = 0;
  /*21*/ virtual Status Pause() = 0;
  /*22*/ virtual Status Suspend() = 0;
  /*23*/ virtual Status Stop() = 0;
  /*24*/ virtual Status TakeSnapshot() = 0;
  /*25*/ virtual Status Seek(uint32_t ms) = 0;
  /*26*/ virtual Status SeekTime(const ZantTime* time) = 0;
  /*27*/ virtual Status GetDuration(uint32_t* ms) = 0;
  /*28*/ virtual Status GetDurationTime(ZantTime* time) = 0;
  /*29*/ virtual Status GetPosition(uint32_t* ms) = 0;
  /*30*/ virtual Status GetPositionTime(ZantTime* time) = 0;
  /*31*/ virtual Status StartRecord() = 0;
  /*32*/ virtual Status StopRecord() = 0;
  /*33*/ virtual Status ShowVideo(uint32_t show) = 0;
  /*34*/ virtual Status OpenPlaylistItem(IVexoCmnSourceManager* sources, IVexoCmnPlaylist* playlist,
                                         int32_t index) = 0;
  /*35*/ virtual Status OpenPlaylistIndex(IVexoCmnSourceManager* sources, int32_t index) = 0;
  /*36*/ virtual IVexoCmnPlaylist* GetPlaylist() = 0;
  /*37*/ virtual Status GetPlaylistIndex(int32_t* index) = 0;
  /*38*/ virtual Status StartTimeShift(uint32_t arg) = 0;
  /*39*/ virtual Status StopTimeShift() = 0;
  /*40*/ virtual Status GetTimeShiftLength(uint32_t* ms) = 0;
  /*41*/ virtual Status GetTimeShiftLengthTime(ZantTime* time) = 0;
  /*42*/ virtual Status GetTimeShiftPosition(uint32_t* ms) = 0;
  /*43*/ virtual Status GetTimeShiftPositionTime(ZantTime* time) = 0;
  /*44*/ virtual Status SeekTimeShift(uint32_t ms) = 0;
  /*45*/ virtual Status SeekTimeShiftTime(const ZantTime* time) = 0;
  /*46*/ virtual Status SaveChannelList() = 0;
  /*47*/ virtual Status RestoreChannelList() = 0;
  /*48*/ virtual Status ScanRegion(uint32_t country, uint32_t region) = 0;
  /*49*/ virtual Status ScanRange(uint32_t startKHz, uint32_t endKHz, uint32_t bandwidthKHz) = 0;
  /*50*/ virtual Status StopScan(uint32_t reserved1, uint32_t reserved2) = 0;
  /*51*/ virtual Status SelectChannelById(uint32_t id) = 0;
  /*52*/ virtual Status SelectChannelByIndex(int32_t index) = 0;
  /*53*/ virtual Status SelectChannel(IZantChannel* channel) = 0;
  // The caller owns a reference to the result.
  /*54*/ virtual IZantChannel* GetCurrentChannel() = 0;
  /*55*/ virtual int32_t GetCurrentChannelIndex() = 0;
  /*56*/ virtual Status PreviousChannel() = 0;
  /*57*/ virtual Status NextChannel() = 0;
  /*58*/ virtual Status DisableAllStreams(IZantChannel* channel) = 0;
  /*59*/ virtual Status SelectStream(IZantChannel* channel, int32_t index) = 0;
  /*60*/ virtual int32_t GetSelectedStream(IZantChannel* channel) = 0;
  /*61*/ virtual int32_t SupportsParentalAge() = 0;
  /*62*/ virtual int32_t SupportsParentalContent() = 0;
  /*63*/ virtual uint32_t GetChannelType() = 0;
  /*64*/ virtual Status SetChannelType(uint32_t type) = 0;
  /*65*/ virtual uint32_t GetChannelCount() = 0;
  /*66*/ virtual Status GetChannelList(IZantEnum** out) = 0;
  /*67*/ virtual Status GetFilteredChannelList(IVexoCmnCollection** out) = 0;
  /*68*/ virtual Status EnumStreams(IZantChannel* channel, IZantEnum** out) = 0;
  /*69*/ virtual Status GetSettingDWORD(uint32_t id, uint32_t* value) = 0;
  /*70*/ virtual Status SetSettingDWORD(uint32_t id, uint32_t value, uint32_t save) = 0;
  /*71*/ virtual Status GetSettingString(uint32_t id, char16_t* buffer, uint32_t capacity) = 0;
  /*72*/ virtual Status SetSettingString(uint32_t id, const char16_t* text) = 0;
  /*73*/ virtual uint32_t GetMode() = 0;
  /*74*/ virtual Status QueryEngineInterface(const Guid& iid, void** out) = 0;
  /*75*/ virtual int32_t GetUseJapaneseFont() = 0;
  /*76*/ virtual Status SetSourceUseJapaneseFont(int32_t flag) = 0;
  /*77*/ virtual int32_t IsRegisteredFileType() = 0;
  /*78*/ virtual Status RegisterFileType(const char16_t* extension) = 0;
  /*79*/ virtual Status SetBusy(uint32_t busy) = 0;
  /*80*/ virtual Status SetEngineProperty(uint32_t id, uint32_t value) = 0;

 protected:
  ~IVexoCmnPlayerSession() = default;
};
