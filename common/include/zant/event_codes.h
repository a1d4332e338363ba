// Event codes the media engine, the scheduler libraries and the player
// session report through IZantMediaEventSink::OnEvent, with their parameters.
// Pointer parameters are valid for the duration of the call only.
#pragma once
#include <cstdint>

namespace zant {

// ---- source device manager ----
inline constexpr uint32_t kEvSourceArrival = 0x10001;     // p1 = device (IZantSourceDevice*)
inline constexpr uint32_t kEvSourceRemoved = 0x10002;     // p2 = source context (the device's IZantSourceDevice*)
inline constexpr uint32_t kEvDevicesCollected = 0x10003;  // after Start, once every device is known

// ---- player ----
inline constexpr uint32_t kEvStateChanged = 0x20001;        // p1 = new player state (PlayerState)
inline constexpr uint32_t kEvCapabilities = 0x20002;        // p2 = capability word (Capability bits)
inline constexpr uint32_t kEvEndOfFile = 0x20004;           // p1 = speed, p2 = state
inline constexpr uint32_t kEvFirstVideoFrame = 0x20009;
inline constexpr uint32_t kEvNotSupported = 0x2000D;        // p2 = reason
inline constexpr uint32_t kEvResolutionNotSupported = 0x20014;  // p1 = width, p2 = height

// ---- tuner, scan and services ----
inline constexpr uint32_t kEvTunerInitializing = 0x30001;
inline constexpr uint32_t kEvTunerInitialized = 0x30002;  // p1 = 0 success, else failure status
inline constexpr uint32_t kEvScanBegin = 0x30005;
inline constexpr uint32_t kEvScanProgress = 0x30006;      // p1 = percent, p2 = const ScanStatus*
inline constexpr uint32_t kEvScanStopped = 0x30007;       // a scan ended early (StopScan)
inline constexpr uint32_t kEvScanFinished = 0x30008;      // a scan ran to its end
inline constexpr uint32_t kEvServiceChanging = 0x30009;   // a channel change begins
inline constexpr uint32_t kEvServiceChanged = 0x3000A;    // p1 = 0 service up, non-zero still searching
inline constexpr uint32_t kEvTimeUpdated = 0x3000B;       // broadcast time received
inline constexpr uint32_t kEvSignalChanged = 0x3000C;     // p1 = icon (0..5), p2 = level (0..100)
inline constexpr uint32_t kEvSubtitleChanged = 0x3000D;
inline constexpr uint32_t kEvParentalBlocked = 0x3000E;   // p1 = programme rating
inline constexpr uint32_t kEvSignalQuality = 0x30011;     // p1 = 0 good, 1 weak, 2 bad

inline constexpr uint32_t kEvServiceListUpdated = 0x40002;
inline constexpr uint32_t kEvServiceInfoUpdated = 0x40003;
inline constexpr uint32_t kEvStreamsUpdated = 0x40004;
inline constexpr uint32_t kEvProgramUpdated = 0x40007;    // p2 = the channel (IZantChannel*) whose guide changed

inline constexpr uint32_t kEvCAStatusChanged = 0x50002;   // p1 = CA status word
inline constexpr uint32_t kEvEmergencyAlarm = 0x60001;    // p1 = IZantEmergencyAlarm*
inline constexpr uint32_t kEvBattery = 0x70005;           // p1 = const BatteryStatus*

// ---- recorder ----
inline constexpr uint32_t kEvRecordFileCreated = 0x80001;   // p1 = const char16_t* file name (device path)
inline constexpr uint32_t kEvRecordDiskLimit = 0x80002;     // recording stopped: disk limit (setting 16) reached
inline constexpr uint32_t kEvRecordFileLimit = 0x80003;     // recording stopped: file size limit (setting 15) reached
inline constexpr uint32_t kEvRecordRedirect = 0x80006;      // p1 = const RecordRedirect*
inline constexpr uint32_t kEvRecordStopped = 0x80008;       // the recorder stopped (by request or by a limit)

// ---- application requests from the engine ----
inline constexpr uint32_t kEvApplicationHide = 0xA0004;
inline constexpr uint32_t kEvApplicationShow = 0xA0005;
inline constexpr uint32_t kEvApplicationExit = 0xA0006;
inline constexpr uint32_t kEvChangeFile = 0xA0007;          // p1 != 0 previous, 0 next

// ---- scheduler libraries ----
inline constexpr uint32_t kEvSchedulerReminder = 0x1801;    // p1 = reservation id: its lead time began
inline constexpr uint32_t kEvSchedulerConfirm = 0x1802;     // p1 = reservation id: the user confirmed a reminder
inline constexpr uint32_t kEvSchedulerStart = 0x1803;       // p1 = reservation id
inline constexpr uint32_t kEvSchedulerStop = 0x1804;        // p1 = reservation id
inline constexpr uint32_t kEvSchedulerAdded = 0x1902;       // p1 = reservation id

// ---- player session (fired by the session itself) ----
inline constexpr uint32_t kEvSessionClosed = 0x10000001;
inline constexpr uint32_t kEvSessionControlFlags = 0x10000002;  // p1 = control flags
inline constexpr uint32_t kEvSessionSourceOpened = 0x10000003;
inline constexpr uint32_t kEvSessionTimeChanged = 0x10000004;
inline constexpr uint32_t kEvSessionTimeShiftStarted = 0x10000005;
inline constexpr uint32_t kEvSessionTimeShiftStopped = 0x10000006;
inline constexpr uint32_t kEvSessionScanBegin = 0x10000007;
inline constexpr uint32_t kEvSessionScanEnd = 0x10000008;
inline constexpr uint32_t kEvSessionScanProgress = 0x10000009;  // p1, p2 as the engine gave them

// A short name for a code ("ServiceChanged"), or nullptr when unknown.
inline const char* eventName(uint32_t code) {
  switch (code) {
    case kEvSourceArrival: return "SourceArrival";
    case kEvSourceRemoved: return "SourceRemoved";
    case kEvDevicesCollected: return "DevicesCollected";
    case kEvStateChanged: return "StateChanged";
    case kEvCapabilities: return "Capabilities";
    case kEvEndOfFile: return "EndOfFile";
    case kEvFirstVideoFrame: return "FirstVideoFrame";
    case kEvNotSupported: return "NotSupported";
    case kEvResolutionNotSupported: return "ResolutionNotSupported";
    case kEvTunerInitializing: return "TunerInitializing";
    case kEvTunerInitialized: return "TunerInitialized";
    case kEvScanBegin: return "ScanBegin";
    case kEvScanProgress: return "ScanProgress";
    case kEvScanStopped: return "ScanStopped";
    case kEvScanFinished: return "ScanFinished";
    case kEvServiceChanging: return "ServiceChanging";
    case kEvServiceChanged: return "ServiceChanged";
    case kEvTimeUpdated: return "TimeUpdated";
    case kEvSignalChanged: return "SignalChanged";
    case kEvSubtitleChanged: return "SubtitleChanged";
    case kEvParentalBlocked: return "ParentalBlocked";
    case kEvSignalQuality: return "SignalQuality";
    case kEvServiceListUpdated: return "ServiceListUpdated";
    case kEvServiceInfoUpdated: return "ServiceInfoUpdated";
    case kEvStreamsUpdated: return "StreamsUpdated";
    case kEvProgramUpdated: return "ProgramUpdated";
    case kEvCAStatusChanged: return "CAStatusChanged";
    case kEvEmergencyAlarm: return "EmergencyAlarm";
    case kEvBattery: return "Battery";
    case kEvRecordFileCreated: return "RecordFileCreated";
    case kEvRecordDiskLimit: return "RecordDiskLimit";
    case kEvRecordFileLimit: return "RecordFileLimit";
    case kEvRecordRedirect: return "RecordRedirect";
    case kEvRecordStopped: return "RecordStopped";
    case kEvApplicationHide: return "ApplicationHide";
    case kEvApplicationShow: return "ApplicationShow";
    case kEvApplicationExit: return "ApplicationExit";
    case kEvChangeFile: return "ChangeFile";
    case kEvSchedulerReminder: return "SchedulerReminder";
    case kEvSchedulerConfirm: return "SchedulerConfirm";
    case kEvSchedulerStart: return "SchedulerStart";
    case kEvSchedulerStop: return "SchedulerStop";
    case kEvSchedulerAdded: return "SchedulerAdded";
    case kEvSessionClosed: return "SessionClosed";
    case kEvSessionControlFlags: return "SessionControlFlags";
    case kEvSessionSourceOpened: return "SessionSourceOpened";
    case kEvSessionTimeChanged: return "SessionTimeChanged";
    case kEvSessionTimeShiftStarted: return "SessionTimeShiftStarted";
    case kEvSessionTimeShiftStopped: return "SessionTimeShiftStopped";
    case kEvSessionScanBegin: return "SessionScanBegin";
    case kEvSessionScanEnd: return "SessionScanEnd";
    case kEvSessionScanProgress: return "SessionScanProgress";
    default: return nullptr;
  }
}

}  // namespace zant
