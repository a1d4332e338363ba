// The source manager: one place to reach the engine's source device manager.
// It loads the engine ("ZANTSDK.dll") by module name, creates the device
// manager, and turns the engine's device enumeration into a source collection
// (identifier IID_IVexoCmnSourceCollection) that callers walk, count and
// clone. Device arrival (0x10001), removal (0x10002, p2 the device) and
// "devices collected" (0x10003) reach the sinks registered with Advise.
//
// Every method returns E_FAIL when the engine library or its device-manager
// factory is missing; the object itself always exists.
#pragma once
#include <cstdint>

#include "vexo/cmn_factories.h"
#include "vexo/collection.h"
#include "zant/engine.h"
#include "zant/event_sink.h"

class IVexoCmnSourceManager : public IMcUnknown {
 public:
  static constexpr Guid iid = IID_IVexoCmnSourceManager;
  // Device monitoring on and off (the program starts with flags 1).
  /*3*/ virtual Status Start(uint32_t flags, uint32_t reserved) = 0;
  /*4*/ virtual Status Stop(uint32_t flags, uint32_t reserved) = 0;
  // The devices whose type matches the filter (0 every device, 0x40000000 the
  // live tuners), in the engine's order, as a new source collection.
  /*5*/ virtual Status EnumSources(uint32_t typeFilter, IVexoCmnCollection** out) = 0;
  // The source that carries the named channel.
  /*6*/ virtual Status GetSourceInfo(const char16_t* channelName, IZantSourceDevice** out) = 0;
  /*7*/ virtual Status Advise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) = 0;
  /*8*/ virtual Status Unadvise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) = 0;

 protected:
  ~IVexoCmnSourceManager() = default;
};
