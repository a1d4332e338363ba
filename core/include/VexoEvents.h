// The event catalogue: 51 event classes with fixed type numbers 1..51.
// Payloads that can carry a pointer are pointer-sized. The two classes that
// own a buffer (VexoEventScanProgress, VexoEventCreateNewFile) cannot be
// copied: their buffer belongs to one event.
#pragma once
#include <cstdint>

#include "VexoCore.h"

#define VEXO_PLAIN_EVENT(Name, Number)             \
  class Name : public VexoEvent {                   \
   public:                                          \
    static constexpr unsigned kType = Number;       \
    Name() : VexoEvent(kType) {}                    \
    ~Name() override;                               \
    Name(const Name&) = default;                    \
    Name& operator=(const Name&) = default;         \
  };

// One value: the constructor argument kept as is; Getter returns it.
#define VEXO_VALUE_EVENT(Name, Number, ValueType, Getter) \
  class Name : public VexoEvent {                          \
   public:                                                 \
    static constexpr unsigned kType = Number;              \
    explicit Name(ValueType value) : VexoEvent(kType), value_(value) {} \
    ~Name() override;                                      \
    Name(const Name&) = default;                           \
    Name& operator=(const Name&) = default;                \
    ValueType Getter() const { return value_; }            \
                                                           \
   private:                                                \
    ValueType value_;                                      \
  };

VEXO_PLAIN_EVENT(VexoEventToggleFullScreen, 2)
VEXO_PLAIN_EVENT(VexoEventToggleAlwaysTop, 3)
VEXO_PLAIN_EVENT(VexoEventShowCP, 4)
VEXO_PLAIN_EVENT(VexoEventHideCP, 5)
VEXO_PLAIN_EVENT(VexoEventRefreshUI, 6)
VEXO_PLAIN_EVENT(VexoEventServiceChanged, 7)
VEXO_PLAIN_EVENT(VexoEventSourceChanged, 14)
VEXO_PLAIN_EVENT(VexoEventParentalBlocked, 15)
VEXO_PLAIN_EVENT(VexoEventServiceChanging, 18)
VEXO_PLAIN_EVENT(VexoEventTimeShiftingStarted, 21)
VEXO_PLAIN_EVENT(VexoEventTimeShiftingStopped, 22)
VEXO_PLAIN_EVENT(VexoEventSourceArrival, 23)
VEXO_PLAIN_EVENT(VexoEventPlayerClosed, 24)
VEXO_PLAIN_EVENT(VexoEventServiceUpdate, 25)
VEXO_PLAIN_EVENT(VexoEventScanBegin, 29)
VEXO_PLAIN_EVENT(VexoEventScanEnd, 31)
VEXO_PLAIN_EVENT(VexoEventSchedulerAddEvent, 32)
VEXO_PLAIN_EVENT(VexoEventStartRecord, 33)
VEXO_PLAIN_EVENT(VexoEventDeviceCollected, 35)
VEXO_PLAIN_EVENT(VexoEventTunerInitializing, 36)
VEXO_PLAIN_EVENT(VexoEventShowMainWindow, 39)
VEXO_PLAIN_EVENT(VexoEventApplicationExit, 41)
VEXO_PLAIN_EVENT(VexoEventApplicationHide, 45)
VEXO_PLAIN_EVENT(VexoEventApplicationShow, 46)
VEXO_PLAIN_EVENT(VexoEventSubtitleChanged, 49)
VEXO_PLAIN_EVENT(VexoEventFirstVideoFrame, 51)

VEXO_VALUE_EVENT(VexoEventChangeSkin, 9, int, GetSkinIndex)
VEXO_VALUE_EVENT(VexoEventLanguageChanged, 12, unsigned, GetLCID)
VEXO_VALUE_EVENT(VexoEventEmergencyAlarm, 13, void*, GetEvent)
VEXO_VALUE_EVENT(VexoEventSourceRemoved, 16, void*, GetSourceContext)
VEXO_VALUE_EVENT(VexoEventProgramUpdate, 17, void*, GetService)
VEXO_VALUE_EVENT(VexoEventStateChanged, 19, unsigned, GetState)
VEXO_VALUE_EVENT(VexoEventCAStatusUpdated, 26, unsigned, GetStatus)
VEXO_VALUE_EVENT(VexoEventSchedulerEventStart, 27, unsigned, GetEventID)
VEXO_VALUE_EVENT(VexoEventSchedulerEventStop, 28, unsigned, GetEventID)
VEXO_VALUE_EVENT(VexoEventSchedulerEventConfirm, 34, unsigned, GetEventID)
VEXO_VALUE_EVENT(VexoEventTunerInitialized, 37, unsigned, GetResult)
VEXO_VALUE_EVENT(VexoEventBcasCardRemoved, 47, unsigned, GetCAType)
VEXO_VALUE_EVENT(VexoEventPlayerNotSupport, 48, unsigned, GetErrorCode)

#undef VEXO_PLAIN_EVENT
#undef VEXO_VALUE_EVENT

class VexoEventTimeChanged : public VexoEvent {
 public:
  static constexpr unsigned kType = 1;
  VexoEventTimeChanged(int hi, int low) : VexoEvent(kType), hi_(hi), low_(low) {}
  ~VexoEventTimeChanged() override;
  VexoEventTimeChanged(const VexoEventTimeChanged&) = default;
  VexoEventTimeChanged& operator=(const VexoEventTimeChanged&) = default;
  int GetHiOffset() const { return hi_; }
  int GetLowOffset() const { return low_; }

 private:
  int hi_;
  int low_;
};

class VexoEventEnableButton : public VexoEvent {
 public:
  static constexpr unsigned kType = 8;
  // Flag indices; 6 and 9 are not used.
  enum Button : uint32_t {
    Open = 0, Play = 1, PlayShowsPause = 2, Stop = 3, ChannelUp = 4, ChannelDown = 5, Record = 7,
    RecordingLock = 8, TimeShift = 10, TimeShiftActive = 11, Preview = 12, Help = 13, Setting = 14,
    FastForward = 15, Rewind = 16,
  };
  static constexpr unsigned kButtonCount = 17;
  VexoEventEnableButton() : VexoEvent(kType) {}
  ~VexoEventEnableButton() override;
  VexoEventEnableButton(const VexoEventEnableButton&) = default;
  VexoEventEnableButton& operator=(const VexoEventEnableButton&) = default;
  // An index outside 0..16 changes nothing / reads false.
  void SetButtonEnabled(unsigned button, bool enabled) {
    if (button < kButtonCount) flags_[button] = enabled;
  }
  bool GetButtonEnabled(unsigned button) const { return button < kButtonCount && flags_[button]; }

 private:
  bool flags_[kButtonCount] = {};
};

class VexoEventSignalChanged : public VexoEvent {
 public:
  static constexpr unsigned kType = 10;
  // icon: 0 shows the signal icon, 2 hides it, anything else leaves it.
  VexoEventSignalChanged(unsigned icon, unsigned level) : VexoEvent(kType), icon_(icon), level_(level) {}
  ~VexoEventSignalChanged() override;
  VexoEventSignalChanged(const VexoEventSignalChanged&) = default;
  VexoEventSignalChanged& operator=(const VexoEventSignalChanged&) = default;
  unsigned DisplaySignalIcon() const { return icon_; }
  unsigned GetSignalLevel() const { return level_; }

 private:
  unsigned icon_;
  unsigned level_;
};

class VexoEventRecordLimitExceed : public VexoEvent {
 public:
  static constexpr unsigned kType = 11;
  enum Type : uint32_t { FileSizeLimit = 1, DiskSizeLimit = 2 };
  explicit VexoEventRecordLimitExceed(Type limit) : VexoEvent(kType), limit_(limit) {}
  ~VexoEventRecordLimitExceed() override;
  VexoEventRecordLimitExceed(const VexoEventRecordLimitExceed&) = default;
  VexoEventRecordLimitExceed& operator=(const VexoEventRecordLimitExceed&) = default;
  Type GetType() const { return limit_; }

 private:
  Type limit_;
};

class VexoEventBatteryStatus : public VexoEvent {
 public:
  static constexpr unsigned kType = 20;
  VexoEventBatteryStatus(unsigned level, bool charging) : VexoEvent(kType), level_(level), charging_(charging) {}
  ~VexoEventBatteryStatus() override;
  VexoEventBatteryStatus(const VexoEventBatteryStatus&) = default;
  VexoEventBatteryStatus& operator=(const VexoEventBatteryStatus&) = default;
  unsigned GetBatteryLevel() const { return level_; }
  bool GetCharging() const { return charging_; }

 private:
  unsigned level_;
  bool charging_;
};

// A copy of the engine's scan status block.
class VexoEventScanProgress : public VexoEvent {
 public:
  static constexpr unsigned kType = 30;
  // Blocks larger than this are refused (the event then carries none).
  static constexpr int kMaxLength = 1 << 20;
  // Copies length bytes of status; null status or length <= 0 keeps nothing.
  VexoEventScanProgress(const void* status, int length);
  ~VexoEventScanProgress() override;
  VexoEventScanProgress(const VexoEventScanProgress&) = delete;
  VexoEventScanProgress& operator=(const VexoEventScanProgress&) = delete;
  void* GetStatus() const { return block_; }
  int GetLength() const { return length_; }

 private:
  uint8_t* block_ = nullptr;
  int length_ = 0;
};

class VexoEventCreateNewFile : public VexoEvent {
 public:
  static constexpr unsigned kType = 40;
  // Names longer than this are cut (device paths are far shorter).
  static constexpr unsigned kMaxNameLength = 32767;
  // Copies the zero-terminated name; null means an empty name.
  explicit VexoEventCreateNewFile(const char16_t* fileName);
  ~VexoEventCreateNewFile() override;
  VexoEventCreateNewFile(const VexoEventCreateNewFile&) = delete;
  VexoEventCreateNewFile& operator=(const VexoEventCreateNewFile&) = delete;
  // Copies the name with its terminator when capacity holds both; otherwise
  // writes nothing. Returns whether it copied.
  bool GetFileName(char16_t* buffer, unsigned capacity) const;
  unsigned GetFileNameLength() const { return length_; }

 private:
  char16_t* name_ = nullptr;
  unsigned length_ = 0;
};

class VexoEventEndOfFile : public VexoEvent {
 public:
  static constexpr unsigned kType = 38;
  VexoEventEndOfFile(unsigned speed, unsigned state) : VexoEvent(kType), speed_(speed), state_(state) {}
  ~VexoEventEndOfFile() override;
  VexoEventEndOfFile(const VexoEventEndOfFile&) = default;
  VexoEventEndOfFile& operator=(const VexoEventEndOfFile&) = default;
  unsigned GetSpeed() const { return speed_; }
  unsigned GetState() const { return state_; }

 private:
  unsigned speed_;
  unsigned state_;
};

class VexoEventChangeFile : public VexoEvent {
 public:
  static constexpr unsigned kType = 42;
  enum Direction : uint32_t { Previous = 0, Next = 1 };
  explicit VexoEventChangeFile(Direction direction) : VexoEvent(kType), direction_(direction) {}
  ~VexoEventChangeFile() override;
  VexoEventChangeFile(const VexoEventChangeFile&) = default;
  VexoEventChangeFile& operator=(const VexoEventChangeFile&) = default;
  Direction GetDirection() const { return direction_; }

 private:
  Direction direction_;
};

class VexoEventSignalQuality : public VexoEvent {
 public:
  static constexpr unsigned kType = 43;
  enum Quality : uint32_t { Quality0 = 0, Quality1 = 1, Quality2 = 2 };
  explicit VexoEventSignalQuality(Quality quality) : VexoEvent(kType), quality_(quality) {}
  ~VexoEventSignalQuality() override;
  VexoEventSignalQuality(const VexoEventSignalQuality&) = default;
  VexoEventSignalQuality& operator=(const VexoEventSignalQuality&) = default;
  Quality GetQuality() const { return quality_; }

 private:
  Quality quality_;
};

class VexoEventRecordChannelRedirect : public VexoEvent {
 public:
  static constexpr unsigned kType = 44;
  VexoEventRecordChannelRedirect(unsigned currentIdx, unsigned newIdx)
      : VexoEvent(kType), current_(currentIdx), new_(newIdx) {}
  ~VexoEventRecordChannelRedirect() override;
  VexoEventRecordChannelRedirect(const VexoEventRecordChannelRedirect&) = default;
  VexoEventRecordChannelRedirect& operator=(const VexoEventRecordChannelRedirect&) = default;
  unsigned GetCurrentIdx() const { return current_; }
  unsigned GetNewIdx() const { return new_; }

 private:
  unsigned current_;
  unsigned new_;
};

class VexoEventPlayerResolutionNotSupported : public VexoEvent {
 public:
  static constexpr unsigned kType = 50;
  VexoEventPlayerResolutionNotSupported(unsigned width, unsigned height)
      : VexoEvent(kType), width_(width), height_(height) {}
  ~VexoEventPlayerResolutionNotSupported() override;
  VexoEventPlayerResolutionNotSupported(const VexoEventPlayerResolutionNotSupported&) = default;
  VexoEventPlayerResolutionNotSupported& operator=(const VexoEventPlayerResolutionNotSupported&) = default;
  // -1 and nothing written when either pointer is null; else 0.
  int GetResolution(unsigned* width, unsigned* height) const {
    if (!width || !height) return -1;
    *width = width_;
    *height = height_;
    return 0;
  }

 private:
  unsigned width_;
  unsigned height_;
};
