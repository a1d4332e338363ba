// The simulated engine's test interface, reached through the engine module's
// export "ZNGetTestControl"(iid, out). It controls the simulated broadcast of
// that loaded engine: which thread events come on, scripted events, injected
// failures, withheld interfaces and the call log.
#pragma once
#include <cstdint>

#include "vexo/mc.h"

class IZantTestControl : public IMcUnknown {
 public:
  static constexpr Guid iid = plat::guidLiteral("{9FC20407-40E3-4DCE-9236-59A54B1954BE}");

  // 0: events are delivered on the thread that caused them, timed work runs
  //    inside Pump() (unit tests).
  // 1: an engine thread delivers every event and runs timed work as the
  //    platform clock passes (integration tests, the real program).
  /*3*/ virtual Status SetEventThreading(uint32_t engineThread) = 0;
  // Replaces the broadcast (devices, channels, guide, countries) with an XML
  // scenario (host path, UTF-8). Refused (E_FAIL) while a player has a source open.
  /*4*/ virtual Status LoadScenario(const char* hostPath) = 0;
  /*5*/ virtual Status LoadScenarioText(const char* xml, uint32_t size) = 0;
  // Delivers (code, p1, p2) to the sinks of every open player after delayMs
  // of platform-clock time.
  /*6*/ virtual Status ScriptEvent(uint32_t delayMs, uint32_t code, uintptr_t p1, uintptr_t p2) = 0;
  // The next `times` calls of method ("IZantChannelManager::SelectById")
  // return result without doing anything; times 0 means every call.
  /*7*/ virtual Status InjectFailure(const char* method, Status result, uint32_t times) = 0;
  /*8*/ virtual Status ClearFailures() = 0;
  // QueryInterface for iid on any engine object answers E_NOINTERFACE while withheld.
  /*9*/ virtual Status WithholdInterface(const Guid& iid, uint32_t withhold) = 0;
  // The call log: one line per engine method called ("IZantMediaPlayer::Run").
  // capacity in bytes; needed gets the size with terminator.
  /*10*/ virtual Status GetCallLog(char* buffer, uint32_t capacity, uint32_t* needed) = 0;
  /*11*/ virtual Status ClearCallLog() = 0;
  // Runs the timed work that is due on the platform clock, on this thread.
  /*12*/ virtual Status Pump(uint32_t* ran) = 0;
  // An emergency warning: active now, ends after durationMs (0: stays until
  // the next alarm). kind zant::kAlarmKindEarthquake / kAlarmKindTsunami.
  /*13*/ virtual Status RaiseAlarm(uint32_t kind, const uint32_t* areaCodes, uint32_t count, uint32_t durationMs) = 0;
  // Reception level 0..100 (quality: >= 40 good, >= 15 weak, else bad).
  /*14*/ virtual Status SetSignalLevel(uint32_t level) = 0;
  /*15*/ virtual Status SetBattery(int32_t level, uint32_t charging) = 0;
  /*16*/ virtual Status SetCAStatus(uint32_t status) = 0;
  // Arrival (present 1) or removal (0) of a device by its id.
  /*17*/ virtual Status SetDevicePresent(uint32_t deviceId, uint32_t present) = 0;

 protected:
  ~IZantTestControl() = default;
};

extern "C" {
typedef Status (*ZantGetTestControlFn)(const Guid* iid, void** out);
}
