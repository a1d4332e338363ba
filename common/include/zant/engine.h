// Interfaces of the media engine library ("ZANTSDK.dll" -> libZANTSDK.so).
//
// The engine is loaded by name (plat::loadModule) and reached only through the
// two factory exports below and the interfaces they lead to. Every method
// returns a status code; nothing throws across the boundary. Text is UTF-16.
// Methods are declared in slot order: slots 0 to 2 are QueryInterface, AddRef
// and Release; the comment before each method gives its slot.
//
// Reference rules: a factory or an out argument that hands out an interface
// gives the caller one reference; objects passed in are borrowed for the call.
// Within one engine a channel keeps one object identity for its whole life
// (the same IZantChannel pointer in every list, enumeration and event).
//
// Threads: the engine calls sinks either on the thread that called it or on
// its own engine thread (see IZantTestControl). It never holds a lock of its
// own while calling a sink and calls no sink after the matching Disconnect,
// CloseSource, Unadvise or StopScan has returned (unless that call was made
// from inside the sink, on the engine's thread).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "plat/clock.h"
#include "plat/text.h"
#include "vexo/mc.h"
#include "zant/event_codes.h"
#include "zant/event_sink.h"

class IZantEnum;
class IZantChannel;
class IZantSourceDevice;
class IZantServiceStreams;

// Window handles are the platform's window ids, passed pointer-sized.
using ZantWindow = uintptr_t;

// The 16-byte date-time record (year, month, day of week, day, hour, minute,
// second, millisecond; 16 bits each) used for positions, lengths and
// programme times. Positions and lengths use only hour to millisecond.
using ZantTime = plat::SystemTime;
static_assert(sizeof(ZantTime) == 16, "the date-time record is 16 bytes");

namespace zant {

// ---- source types: bits 28..31 class, 16..27 broadcast standard, low bits kind ----
inline constexpr uint32_t kSourceClassMask = 0xF0000000u;
inline constexpr uint32_t kSourceClassFile = 0x10000000u;
inline constexpr uint32_t kSourceClassLive = 0x40000000u;
inline constexpr uint32_t kStandardMask = 0x0FFF0000u;
inline constexpr uint32_t kStandardIsdbT = 0x00040000u;
inline constexpr uint32_t kStandardDtmb = 0x00080000u;
inline constexpr uint32_t kStandardCmmb = 0x00100000u;
inline constexpr uint32_t kStandardDvbT = 0x00010000u;  // any other value is DVB-T as well
// Kinds of file source (type with the class bits removed).
inline constexpr uint32_t kFileKindTransportStream = 0x1000001u;
inline constexpr uint32_t kFileKindCmmbMultiplex = 0x100001u;
inline constexpr uint32_t kFileKindOtherMedia = 0x1000002u;
// The live ISDB-T tuner's type.
inline constexpr uint32_t kSourceTypeIsdbTTuner = kSourceClassLive | kStandardIsdbT | 0x1u;

inline constexpr uint32_t sourceClass(uint32_t type) { return type & kSourceClassMask; }
inline constexpr uint32_t sourceStandard(uint32_t type) { return (type & kStandardMask) >> 16; }

// ---- player states (GetState and event 0x20001), one table for the whole system ----
enum PlayerState : int32_t {
  kStateClosed = 0,    // no source open
  kStateStopped = 1,   // source open, not playing; the position reads as zero
  kStatePaused = 2,    // paused (a live source keeps filling its time-shift buffer)
  kStateRunning = 3,   // playing
  kStateRecording = 4, // playing and recording
  kStateScanning = 5,  // a channel scan is running
  kStateTuning = 6,    // a channel change is in progress
};
inline const char* playerStateName(int32_t state) {
  switch (state) {
    case kStateClosed: return "closed";
    case kStateStopped: return "stopped";
    case kStatePaused: return "paused";
    case kStateRunning: return "running";
    case kStateRecording: return "recording";
    case kStateScanning: return "scanning";
    case kStateTuning: return "tuning";
    default: return "unknown";
  }
}

// ---- capability word (event 0x20002, p2) ----
inline constexpr uint32_t kCapPlayLive = 0x1;
inline constexpr uint32_t kCapStop = 0x8;
inline constexpr uint32_t kCapSnapshot = 0x400;
inline constexpr uint32_t kCapPlayFile = 0x10000;
inline constexpr uint32_t kCapPause = 0x20000;
inline constexpr uint32_t kCapRecord = 0x40000;
inline constexpr uint32_t kCapRecording = 0x80000;
inline constexpr uint32_t kCapTimeShift = 0x100000;
inline constexpr uint32_t kCapSeek = 0x200000;
inline constexpr uint32_t kCapTimeShiftActive = 0x400000;

// ---- service types (IZantChannel::GetType) ----
inline constexpr uint32_t kServiceDigitalTv = 1;
inline constexpr uint32_t kServicePartialTv = 2;  // one-segment television
inline constexpr uint32_t kServiceDigitalAudio = 3;
inline constexpr uint32_t kServiceData = 4;       // audio and data (radio list)

// ---- scramble status (IZantChannel::GetScrambleStatus) ----
inline constexpr uint32_t kScrambleClear = 3;
inline constexpr uint32_t kScrambleScrambled = 4;

// ---- stream kinds (IZantStream::GetKind) ----
inline constexpr uint32_t kStreamVideo = 1;
inline constexpr uint32_t kStreamAudio = 2;
inline constexpr uint32_t kStreamSubtitle = 3;

// ---- programme time entries (IZantEventTime::GetStatus) ----
inline constexpr uint32_t kTimeOther = 0;
inline constexpr uint32_t kTimePresent = 1;
inline constexpr uint32_t kTimeFollowing = 2;

// ---- CA status words (IZantCAInfo::GetCAStatus, event 0x50002) ----
inline constexpr uint32_t kCAOk = 0;
inline constexpr uint32_t kCANoCard = 0x80000001u;
inline constexpr uint32_t kCANoAuthorization = 0x80000002u;
inline constexpr uint32_t kCADeviceNotMatched = 0x80000003u;
inline constexpr uint32_t kCAForbidden = 0x80000004u;

// ---- emergency alarms ----
inline constexpr uint32_t kAlarmKindEarthquake = 0x10003;
inline constexpr uint32_t kAlarmKindTsunami = 0x10005;

// ---- engine setting ids (IZantPlayerSettings) ----
enum SettingId : uint32_t {
  kSetDisplayMode = 1,
  kSetInterlaceMode = 2,
  kSetContrast = 3,    // engine value 0..255
  kSetBrightness = 4,  // engine value 0..255
  kSetHue = 5,
  kSetSaturation = 6,  // engine value 0..255
  kSetGamma = 7,
  kSetEqMode = 8,
  kSetChannelMode = 9,
  kSetVolume = 10,
  kSetMute = 11,
  kSetSyncTime = 12,
  kSetChannelCachePath = 13,  // string
  kSetRecordPath = 14,        // string
  kSetFileLimitMb = 15,
  kSetDiskLimitMb = 16,
  kSetEncryptionMode = 17,
  kSetSnapshotPath = 18,      // string
  kSetParentalAge = 19,
  kSetParentalContent = 20,
  kSetTimeShiftPath = 21,     // string
  kSetTimeShiftSeconds = 22,
  kSetVideoOutput = 23,       // engine only: 0 video plane off, 1 on
};
inline constexpr uint32_t kFirstSettingId = 1;
inline constexpr uint32_t kLastSettingId = 23;
enum SettingKind : uint32_t { kSettingNone = 0, kSettingDword = 1, kSettingString = 2 };

// Property-store property ids (IZantPropertyStore::Set / Get).
inline constexpr uint32_t kPropRegion = 81;  // restrict reception to an engine region id (0 = all)

// Property sets (IZantPropertySet::Set).
inline constexpr Guid kPropSetOutput = plat::guidLiteral("{253ECDAB-C0A5-45DE-B38F-6587F70C8F90}");  // property 1: 1 byte
inline constexpr Guid kPropSetVideo = plat::guidLiteral("{A2E40CFD-1E7E-4BB5-924F-ACA36E809AB7}");   // property 1: 4-byte show flag

// Factory export names.
inline constexpr char kFactoryMediaPlayer[] = "CoCreateZNMediaPlayer";
inline constexpr char kFactoryDeviceManager[] = "CoCreateZNSourceDeviceManager";
inline constexpr char kExportTestControl[] = "ZNGetTestControl";
inline constexpr char kEngineModuleName[] = "ZANTSDK.dll";

}  // namespace zant

// ---- records ----

// Property-store entries: a 32-bit id and a 256-character name (516 bytes).
struct ZantPropertyEntry {
  uint32_t id;
  char16_t name[256];
};
static_assert(sizeof(ZantPropertyEntry) == 516, "property entries are 516 bytes");

// The 40-byte scan status record of event 0x30006 (p2 points at it).
struct ZantScanStatus {
  int32_t size;            // [0] 40
  int32_t phase;           // [1] 1 scanning, 2 done
  int32_t percent;         // [2] 0..100
  int32_t frequenciesFound;// [3] frequencies where a multiplex was found
  int32_t programsFound;   // [4] services found so far
  int32_t frequencyKHz;    // [5] frequency being scanned
  int32_t bandwidthKHz;    // [6]
  int32_t physicalChannel; // [7] UHF channel number (ISDB-T), else the step number
  int32_t signalLevel;     // [8] 0..100 at this frequency
  int32_t reserved;        // [9]
};
static_assert(sizeof(ZantScanStatus) == 40, "the scan status record is 40 bytes");

// Event 0x70005: p1 points at it.
struct ZantBatteryStatus {
  int32_t level;  // percent
  uint8_t charging;
};

// Event 0x80006: p1 points at it. newIndex -1: no channel to move to.
struct ZantRecordRedirect {
  int32_t currentIndex;
  int32_t newIndex;
};

// A channel's tuning information.
struct ZantTuningInfo {
  uint32_t frequencyKHz;
  uint32_t bandwidthKHz;
  uint32_t physicalChannel;  // UHF channel for ISDB-T
  uint32_t reserved;
};

// ---- interfaces ----

// Enumerators of the engine: the collection shape of the common library.
class IZantEnum : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{D3DFDFF0-9251-4232-9644-1C80B3C1ECE4}");
  /*3*/ virtual Status Clone(IZantEnum** out) = 0;
  /*4*/ virtual Status Next(uint32_t count, IMcUnknown** items, uint32_t* fetched) = 0;
  /*5*/ virtual Status Reset() = 0;
  /*6*/ virtual Status Skip(uint32_t count) = 0;
  /*7*/ virtual Status GetCount(uint32_t* count) = 0;

 protected:
  ~IZantEnum() = default;
};

class IZantSourceDevice : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{22138BD5-9A1F-4D70-9682-319AF258B301}");
  /*3*/ virtual Status GetId(uint32_t* id) = 0;
  // in: capacity in characters (with terminator); out: the name's length + 1.
  // A short buffer gets a truncated, terminated name and S_FALSE.
  /*4*/ virtual Status GetName(char16_t* buffer, uint32_t* length) = 0;
  /*5*/ virtual Status GetType(uint32_t* type) = 0;
  /*6*/ virtual Status IsPresent(uint32_t* present) = 0;

 protected:
  ~IZantSourceDevice() = default;
};

// A programme-guide event.
class IZantProgramme : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{A026333B-756A-4140-B349-FE9C8CEA08E5}");
  /*3*/ virtual Status GetId(uint32_t* id) = 0;
  /*4*/ virtual Status GetChannel(IZantChannel** channel) = 0;
  /*5*/ virtual Status GetTitle(char16_t* buffer, uint32_t capacity) = 0;
  /*6*/ virtual Status GetDescription(char16_t* buffer, uint32_t capacity) = 0;
  // Enumerator of IZantEventTime (the first holds start and end).
  /*7*/ virtual Status GetTimes(IZantEnum** out) = 0;
  /*8*/ virtual Status GetRating(uint32_t* minimumAge, uint32_t* contentBits) = 0;

 protected:
  ~IZantProgramme() = default;
};

// One broadcast time of a programme.
class IZantEventTime : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{3F00D457-C4D6-4021-A7E2-191991F647A5}");
  // kTimePresent, kTimeFollowing or kTimeOther at the engine's current time.
  /*3*/ virtual Status GetStatus(uint32_t* status) = 0;
  // local != 0: local time; 0: UTC.
  /*4*/ virtual Status GetStartTime(uint32_t local, ZantTime* start) = 0;
  /*5*/ virtual Status GetDurationSeconds(uint32_t* seconds) = 0;
  // End time, local.
  /*6*/ virtual Status GetEndTime(ZantTime* end) = 0;

 protected:
  ~IZantEventTime() = default;
};

// An audio, video or subtitle stream of a channel.
class IZantStream : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{283F1BEE-2C81-486A-98A4-60D62F4101A2}");
  /*3*/ virtual Status GetKind(uint32_t* kind) = 0;
  // ISO 639-2 code, 3 letters and a terminator ("jpn").
  /*4*/ virtual Status GetLanguageCode(char* code4) = 0;
  /*5*/ virtual Status GetName(char16_t* buffer, uint32_t capacity) = 0;
  /*6*/ virtual Status GetDisabled(uint32_t* disabled) = 0;
  // Marks only; IZantServiceStreams::Apply* makes it take effect.
  /*7*/ virtual Status SetDisabled(uint32_t disabled) = 0;
  /*8*/ virtual Status GetComponentTag(uint32_t* tag) = 0;

 protected:
  ~IZantStream() = default;
};

class IZantChannel : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{DF6AD723-2770-49CE-9C88-8AF71A6B72E5}");
  // Enumerator of IZantProgramme, in broadcast order (a week of schedule).
  /*3*/ virtual Status GetEvents(IZantEnum** out) = 0;
  /*4*/ virtual Status GetTuningInfo(ZantTuningInfo* info) = 0;
  // The name shown in lists; length in/out as IZantSourceDevice::GetName.
  /*5*/ virtual Status GetDisplayName(char16_t* buffer, uint32_t* length) = 0;
  /*6*/ virtual Status GetScrambleStatus(uint32_t* status) = 0;
  /*7*/ virtual Status GetPresentFollowing(IZantProgramme** present, IZantProgramme** following) = 0;
  /*8*/ virtual Status GetId(uint32_t* id) = 0;
  // The service type (zant::kService*).
  /*9*/ virtual Status GetType(uint32_t* type) = 0;
  // The key by which reservations name a channel.
  /*10*/ virtual Status GetName(char16_t* buffer, uint32_t capacity) = 0;

 protected:
  ~IZantChannel() = default;
};

// Service information, asked of a channel.
class IZantServiceInfo : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{4F2A7196-8762-413F-A65A-3F5910E7E168}");
  /*3*/ virtual Status GetOriginalNetworkId(uint32_t* id) = 0;
  /*4*/ virtual Status GetTransportStreamId(uint32_t* id) = 0;
  /*5*/ virtual Status GetServiceId(uint32_t* id) = 0;
  /*6*/ virtual Status GetServiceType(uint32_t* type) = 0;
  /*7*/ virtual Status GetFrequency(uint32_t* kHz) = 0;
  /*8*/ virtual Status GetBandwidth(uint32_t* kHz) = 0;
  /*9*/ virtual Status GetScrambleStatus(uint32_t* status) = 0;
  /*10*/ virtual Status GetProviderName(char16_t* buffer, uint32_t capacity) = 0;
  /*11*/ virtual Status GetServiceName(char16_t* buffer, uint32_t capacity) = 0;
  /*12*/ virtual Status GetPhysicalChannel(uint32_t* channel) = 0;
  /*13*/ virtual Status GetRemoteControlKey(uint32_t* key) = 0;
  /*14*/ virtual Status GetRegionId(uint32_t* region) = 0;
  /*15*/ virtual Status GetPresentEvent(IZantProgramme** out) = 0;
  /*16*/ virtual Status GetFollowingEvent(IZantProgramme** out) = 0;
  // The three-digit service number (the remote key is (n mod 200) / 10).
  /*17*/ virtual Status GetServiceNumber(uint32_t* number) = 0;

 protected:
  ~IZantServiceInfo() = default;
};

// Conditional-access card information.
class IZantCAInfo : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{6ACCE656-B19E-4117-819B-17AF4FB6EFAF}");
  /*3*/ virtual Status GetCAId(char16_t* buffer, uint32_t capacity) = 0;
  /*4*/ virtual Status GetKeyDataVersion(char16_t* buffer, uint32_t capacity) = 0;
  // Status word (zant::kCA*); the two further arguments are reserved (0).
  /*5*/ virtual Status GetCAStatus(uint32_t* status, uint32_t reserved1, uint32_t reserved2) = 0;

 protected:
  ~IZantCAInfo() = default;
};

// One message of an alarm.
class IZantAlarmMessage : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{A0E8A2D0-805F-4A72-BAF0-43658685165D}");
  // length in: capacity in characters; out: text length + 1.
  /*3*/ virtual Status GetText(uint32_t index, char16_t* buffer, uint32_t* length) = 0;

 protected:
  ~IZantAlarmMessage() = default;
};

// The emergency-warning object of event 0x60001.
class IZantEmergencyAlarm : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{DBE238B2-6458-4697-ACF1-AF83266CE6A8}");
  /*3*/ virtual Status GetId(uint32_t* id, uint32_t reserved) = 0;
  /*4*/ virtual Status IsActive(uint32_t* active) = 0;
  // Source-type style word: the standard in bits 16..27.
  /*5*/ virtual Status GetType(uint32_t* type) = 0;
  // codes null: *count gets the number of area codes. Otherwise *count is the
  // capacity on entry and the number written on return.
  /*6*/ virtual Status GetAreaCodes(uint32_t* codes, uint32_t* count) = 0;
  /*7*/ virtual Status GetKind(uint32_t* category, uint32_t* kind) = 0;
  // Enumerator of IZantAlarmMessage.
  /*8*/ virtual Status GetMessages(IZantEnum** out, uint32_t reserved) = 0;

 protected:
  ~IZantEmergencyAlarm() = default;
};

class IZantPlayerSettings : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{DFA6A579-A96E-4F1A-A16B-C412A6372E01}");
  // count in: capacity of ids; out: number written (all supported ids when they fit).
  /*3*/ virtual Status GetSupportedIds(uint32_t* count, uint32_t* ids) = 0;
  /*4*/ virtual Status GetDWORD(uint32_t id, uint32_t* value) = 0;
  // Minimum, maximum and the factory value of a DWORD setting.
  /*5*/ virtual Status GetRange(uint32_t id, int32_t* minimum, int32_t* maximum, int32_t* factory) = 0;
  /*6*/ virtual Status GetString(uint32_t id, char16_t* buffer, uint32_t capacity) = 0;
  // E_INVALIDARG for an unknown id or a value out of range.
  /*7*/ virtual Status SetDWORD(uint32_t id, uint32_t value) = 0;
  /*8*/ virtual Status GetKind(uint32_t id, uint32_t* kind) = 0;
  /*9*/ virtual Status SetString(uint32_t id, const char16_t* text) = 0;

 protected:
  ~IZantPlayerSettings() = default;
};

class IZantServiceStreams : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{A5705019-B65E-4101-9245-0B3B2626B602}");
  /*3*/ virtual Status EnumVideo(IZantChannel* channel, IZantEnum** out) = 0;
  /*4*/ virtual Status ApplyVideo(IZantChannel* channel, IZantStream* stream) = 0;
  // 0 good, 1 weak, 2 bad.
  /*5*/ virtual Status GetSignalQuality(uint32_t* quality) = 0;
  /*6*/ virtual Status GetSignalLevel(uint32_t* level) = 0;
  // The broadcast (TOT) time, UTC.
  /*7*/ virtual Status GetBroadcastTime(plat::FileTime* utc) = 0;
  // The active alarm, or S_FALSE and null.
  /*8*/ virtual Status GetEmergencyAlarm(IZantEmergencyAlarm** out) = 0;
  /*9*/ virtual Status GetBatteryStatus(ZantBatteryStatus* status) = 0;
  /*10*/ virtual Status ApplyAudio(IZantChannel* channel, IZantStream* stream) = 0;
  /*11*/ virtual Status EnumAudio(IZantChannel* channel, IZantEnum** out) = 0;
  /*12*/ virtual Status ApplySubtitle(IZantChannel* channel, IZantStream* stream) = 0;
  /*13*/ virtual Status EnumSubtitles(IZantChannel* channel, IZantEnum** out) = 0;
  // The current CA object, or S_FALSE and null without a card.
  /*14*/ virtual Status GetCAInfo(IZantCAInfo** out) = 0;

 protected:
  ~IZantServiceStreams() = default;
};

class IZantChannelManager : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{2E2A9FF8-4900-4970-ACD8-E58E335BEB3A}");
  // Scans run in the background; begin, progress and end go to the sink.
  /*3*/ virtual Status ScanRegion(uint32_t country, uint32_t region, IMcUnknown* identity, IZantMediaEventSink* sink) = 0;
  /*4*/ virtual Status ScanRange(uint32_t startKHz, uint32_t endKHz, uint32_t bandwidthKHz, IMcUnknown* identity,
                                 IZantMediaEventSink* sink) = 0;
  /*5*/ virtual Status StopScan(uint32_t reserved1, uint32_t reserved2) = 0;
  // Saves / restores the channel list in a folder (device path).
  /*6*/ virtual Status Save(const char16_t* folder) = 0;
  /*7*/ virtual Status Restore(const char16_t* folder) = 0;
  /*8*/ virtual Status GetList(IZantEnum** out) = 0;
  /*9*/ virtual Status SelectById(uint32_t id) = 0;
  /*10*/ virtual Status Select(IZantChannel* channel) = 0;
  /*11*/ virtual Status SelectByIndex(int32_t index) = 0;
  // index -1 and channel null when none is current; channel may be null.
  /*12*/ virtual Status GetCurrent(int32_t* index, IZantChannel** channel) = 0;
  /*13*/ virtual Status GetCount(uint32_t* count) = 0;

 protected:
  ~IZantChannelManager() = default;
};

class IZantPropertyStore : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{3B676D63-CAC7-4D4A-B0AB-C75235162F4A}");
  // count in: capacity in entries; out: entries written. E_FAIL when the
  // source type has no country list.
  /*3*/ virtual Status GetCountries(uint32_t sourceType, uint32_t* count, ZantPropertyEntry* list) = 0;
  /*4*/ virtual Status Get(uint32_t id, uint32_t* value) = 0;
  /*5*/ virtual Status GetRegions(uint32_t country, uint32_t* count, ZantPropertyEntry* list) = 0;
  /*6*/ virtual Status Set(uint32_t id, uint32_t value) = 0;

 protected:
  ~IZantPropertyStore() = default;
};

class IZantRecorder : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{EAB3097A-2558-4784-8833-DF8F0984AC4D}");
  /*3*/ virtual Status Start() = 0;
  /*4*/ virtual Status Stop() = 0;
  /*5*/ virtual Status GetFileName(char16_t* buffer, uint32_t capacity) = 0;
  /*6*/ virtual Status GetBytesWritten(uint64_t* bytes) = 0;

 protected:
  ~IZantRecorder() = default;
};

class IZantSnapshot : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{673DE305-4EDD-4615-B5B2-0B62525ABB21}");
  // format 1: bitmap (.bmp), 2: PNG.
  /*3*/ virtual Status Take(uint32_t format) = 0;
  /*4*/ virtual Status GetLastFile(char16_t* buffer, uint32_t capacity) = 0;

 protected:
  ~IZantSnapshot() = default;
};

// Time-shift: the buffer length grows up to setting 22 seconds; positions are
// the distance behind live, in milliseconds (0 = live).
class IZantTimeShift : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{62019F65-0B37-41D4-8380-84DDE62A16C1}");
  /*3*/ virtual Status Start(uint32_t arg) = 0;
  /*4*/ virtual Status Stop() = 0;
  /*5*/ virtual Status GetLength(ZantTime* length, uint32_t* ms) = 0;
  /*6*/ virtual Status GetPosition(ZantTime* position, uint32_t* ms) = 0;
  // origin 0: ms behind live.
  /*7*/ virtual Status Seek(uint32_t origin, uint32_t ms) = 0;

 protected:
  ~IZantTimeShift() = default;
};

class IZantMediaSeeking : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{F34DB231-581B-4A87-918C-9A3C7425E4D7}");
  /*3*/ virtual Status SetPosition(const ZantTime* position) = 0;
  /*4*/ virtual Status GetDuration(ZantTime* duration) = 0;
  /*5*/ virtual Status GetPosition(ZantTime* position) = 0;

 protected:
  ~IZantMediaSeeking() = default;
};

class IZantPropertySet : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{0E771B95-F0FC-44C7-8842-0C3372CE50C7}");
  /*3*/ virtual Status Set(const Guid& set, uint32_t property, const void* data, uint32_t size) = 0;
  /*4*/ virtual Status Get(const Guid& set, uint32_t property, void* data, uint32_t size, uint32_t* returned) = 0;

 protected:
  ~IZantPropertySet() = default;
};

// The player. Also answers IZantPlayerSettings, IZantRecorder, IZantSnapshot,
// IZantTimeShift, IZantMediaSeeking and IZantPropertySet.
class IZantMediaPlayer : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{362F979E-3CE2-4205-AEE9-BB9FFD8C4ABB}");
  // Registers a sink for player events without opening a source.
  /*3*/ virtual Status Connect(IMcUnknown* identity, IZantMediaEventSink* sink) = 0;
  // Removes the sink given with (identity, sink); no call reaches it afterwards.
  /*4*/ virtual Status Disconnect(IMcUnknown* identity, IZantMediaEventSink* sink) = 0;
  // path null: a live source; otherwise the file to play on a file source.
  /*5*/ virtual Status Open(IZantSourceDevice* source, ZantWindow window, const char16_t* path, IMcUnknown* identity,
                            IZantMediaEventSink* sink) = 0;
  /*6*/ virtual Status CloseSource() = 0;
  /*7*/ virtual Status GetServiceStreams(IZantServiceStreams** out) = 0;
  // timeoutMs is how long to wait for a pending transition (kInfinite allowed).
  /*8*/ virtual Status GetState(int32_t* state, uint32_t timeoutMs) = 0;
  /*9*/ virtual Status GetSource(IZantSourceDevice** out) = 0;
  /*10*/ virtual Status Run(uint32_t arg) = 0;
  /*11*/ virtual Status Suspend() = 0;
  /*12*/ virtual Status Pause() = 0;
  /*13*/ virtual Status Stop() = 0;
  /*14*/ virtual Status GetCapabilities(uint32_t* capabilities) = 0;
  /*15*/ virtual Status SetVideoWindow(ZantWindow window, int32_t x, int32_t y, int32_t width, int32_t height) = 0;

 protected:
  ~IZantMediaPlayer() = default;
};

class IZantSourceDeviceManager : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{C3477661-EB09-49E8-BAEE-E9A67339A8F0}");
  // Device arrival (0x10001), removal (0x10002) and collected (0x10003) go to the sink.
  /*3*/ virtual Status Advise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) = 0;
  /*4*/ virtual Status Unadvise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) = 0;
  // Devices whose type matches: 0 every device; otherwise every bit of the
  // filter's class field must match (0x40000000 live tuners).
  /*5*/ virtual Status EnumDevices(uint32_t typeFilter, IZantEnum** out) = 0;
  // Finds the source that carries the named channel (IZantChannel::GetName).
  /*6*/ virtual Status GetSourceInfo(const char16_t* channelName, IZantSourceDevice** out) = 0;
  // Starts device monitoring; reports every present device, then 0x10003.
  /*7*/ virtual Status Start(uint32_t flags, uint32_t reserved) = 0;
  /*8*/ virtual Status Stop(uint32_t flags, uint32_t reserved) = 0;

 protected:
  ~IZantSourceDeviceManager() = default;
};

// Factory signatures.
extern "C" {
typedef Status (*ZantCreateMediaPlayerFn)(const Guid* iid, void** out);
typedef Status (*ZantCreateDeviceManagerFn)(const Guid* iid, void** out, uint32_t reserved);
}

namespace zant {

// Copies text into a caller's buffer with an in/out length (capacity in
// characters in, text length + 1 out). A null buffer or a short capacity gets
// S_FALSE with the needed length; the copy is terminated whenever capacity > 0.
inline Status copyTextInOut(std::u16string_view text, char16_t* buffer, uint32_t* length) {
  if (length == nullptr) return plat::E_POINTER;
  uint32_t capacity = (buffer == nullptr) ? 0 : *length;
  uint32_t needed = static_cast<uint32_t>(text.size()) + 1;
  *length = needed;
  if (capacity == 0) return plat::S_FALSE;
  plat::copyBounded(buffer, capacity, text);
  return capacity >= needed ? plat::S_OK : plat::S_FALSE;
}

// Copies into a buffer of fixed capacity (characters, with terminator);
// S_FALSE when the text was truncated.
inline Status copyTextCapacity(std::u16string_view text, char16_t* buffer, uint32_t capacity) {
  if (buffer == nullptr) return plat::E_POINTER;
  if (capacity == 0) return plat::E_INVALIDARG;
  plat::copyBounded(buffer, capacity, text);
  return capacity > text.size() ? plat::S_OK : plat::S_FALSE;
}

}  // namespace zant
