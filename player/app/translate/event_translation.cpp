#include "app/translate/event_translation.h"

#include <exception>
#include <memory>
#include <new>
#include <utility>

#include "VexoCore.h"
#include "VexoEvents.h"
#include "zant/engine.h"
#include "zant/event_codes.h"

namespace {

// Events come from VexoEvent's own heap, which throws when it is exhausted;
// the senders are other modules, so nothing may escape OnEvent.
template <class E, class... Args>
E* allocateEvent(Args&&... args) {
  try {
    return new E(std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

template <class E, class... Args>
void post(Args&&... args) {
  if (E* event = allocateEvent<E>(std::forward<Args>(args)...)) VexoObject::PostEvent(event);
}

// Delivers at once on the calling thread, then frees the event.
template <class E, class... Args>
void send(Args&&... args) {
  std::unique_ptr<E> event(allocateEvent<E>(std::forward<Args>(args)...));
  if (event) VexoObject::SendEvent(event.get());
}

unsigned low32(uintptr_t v) { return static_cast<unsigned>(v); }

VexoEventSignalQuality::Quality qualityOf(uintptr_t p1) {
  if (p1 == 2) return VexoEventSignalQuality::Quality2;
  if (p1 == 1) return VexoEventSignalQuality::Quality1;
  return VexoEventSignalQuality::Quality0;
}

// Runs a translation with every exception stopped here: the sender is
// another module and ignores the result anyway.
template <class F>
Status guarded(F&& translate) {
  try {
    translate();
  } catch (const std::exception&) {
    // An event that could not be queued is simply not delivered.
  }
  return plat::S_OK;
}

}  // namespace

void applyControlFlags(VexoEventEnableButton& event, uint32_t flags) {
  for (unsigned bit = 0; bit < kControlFlagButtons.size(); ++bit) {
    if (flags & (1u << bit)) event.SetButtonEnabled(kControlFlagButtons[bit], true);
  }
}

// ---- player session ----

VexoPlayerSessionEventTranslation::VexoPlayerSessionEventTranslation(IMcUnknown* session, EngineQuery engineQuery)
    : session_(session), engineQuery_(std::move(engineQuery)) {}

Status VexoPlayerSessionEventTranslation::OnEvent(IMcUnknown*, uint32_t code, uintptr_t p1, uintptr_t p2) {
  return guarded([&] { translate(code, p1, p2); });
}

void VexoPlayerSessionEventTranslation::translate(uint32_t code, uintptr_t p1, uintptr_t p2) {
  switch (code) {
    case zant::kEvStateChanged: post<VexoEventStateChanged>(low32(p1)); break;
    case zant::kEvEndOfFile: post<VexoEventEndOfFile>(low32(p1), low32(p2)); break;
    case zant::kEvFirstVideoFrame: post<VexoEventFirstVideoFrame>(); break;
    case zant::kEvNotSupported: post<VexoEventPlayerNotSupport>(low32(p2)); break;
    case zant::kEvResolutionNotSupported: post<VexoEventPlayerResolutionNotSupported>(low32(p1), low32(p2)); break;
    case zant::kEvTunerInitializing: post<VexoEventTunerInitializing>(); break;
    case zant::kEvTunerInitialized: post<VexoEventTunerInitialized>(low32(p1)); break;
    case zant::kEvServiceChanging: beginServiceChange(); break;
    case zant::kEvServiceChanged: serviceChangeStep(p1); break;
    case zant::kEvSignalChanged: post<VexoEventSignalChanged>(low32(p1), low32(p2)); break;
    case zant::kEvSubtitleChanged: post<VexoEventSubtitleChanged>(); break;
    case zant::kEvParentalBlocked: post<VexoEventParentalBlocked>(); break;
    case zant::kEvSignalQuality: send<VexoEventSignalQuality>(qualityOf(p1)); break;
    case zant::kEvServiceListUpdated:
    case zant::kEvServiceInfoUpdated:
    case zant::kEvStreamsUpdated: post<VexoEventServiceUpdate>(); break;
    case zant::kEvProgramUpdated: post<VexoEventProgramUpdate>(reinterpret_cast<void*>(p2)); break;
    case zant::kEvCAStatusChanged: postCAStatus(); break;
    case zant::kEvEmergencyAlarm: postEmergencyAlarm(p1); break;
    case zant::kEvBattery:
      if (const auto* battery = reinterpret_cast<const ZantBatteryStatus*>(p1)) {
        post<VexoEventBatteryStatus>(static_cast<unsigned>(battery->level), battery->charging != 0);
      }
      break;
    case zant::kEvRecordFileCreated:
      if (const auto* name = reinterpret_cast<const char16_t*>(p1)) post<VexoEventCreateNewFile>(name);
      break;
    case zant::kEvRecordDiskLimit: post<VexoEventRecordLimitExceed>(VexoEventRecordLimitExceed::DiskSizeLimit); break;
    case zant::kEvRecordFileLimit: post<VexoEventRecordLimitExceed>(VexoEventRecordLimitExceed::FileSizeLimit); break;
    case zant::kEvRecordRedirect:
      if (const auto* redirect = reinterpret_cast<const ZantRecordRedirect*>(p1)) {
        post<VexoEventRecordChannelRedirect>(static_cast<unsigned>(redirect->currentIndex),
                                             static_cast<unsigned>(redirect->newIndex));
      }
      break;
    case zant::kEvApplicationHide: post<VexoEventApplicationHide>(); break;
    case zant::kEvApplicationShow: post<VexoEventApplicationShow>(); break;
    case zant::kEvApplicationExit: post<VexoEventApplicationExit>(); break;
    case zant::kEvChangeFile:
      post<VexoEventChangeFile>(p1 != 0 ? VexoEventChangeFile::Previous : VexoEventChangeFile::Next);
      break;
    case zant::kEvSessionClosed: post<VexoEventPlayerClosed>(); break;
    case zant::kEvSessionControlFlags: postControlFlags(low32(p1)); break;
    case zant::kEvSessionSourceOpened: post<VexoEventSourceChanged>(); break;
    case zant::kEvSessionTimeChanged:
      post<VexoEventTimeChanged>(static_cast<int>(low32(p2)), static_cast<int>(low32(p1)));
      break;
    case zant::kEvSessionTimeShiftStarted: post<VexoEventTimeShiftingStarted>(); break;
    case zant::kEvSessionTimeShiftStopped: post<VexoEventTimeShiftingStopped>(); break;
    case zant::kEvSessionScanBegin: post<VexoEventScanBegin>(); break;
    case zant::kEvSessionScanEnd: post<VexoEventScanEnd>(); break;
    case zant::kEvSessionScanProgress:
      if (const void* status = reinterpret_cast<const void*>(p2)) {
        post<VexoEventScanProgress>(status, static_cast<int>(sizeof(ZantScanStatus)));
      }
      break;
    default: break;
  }
}

// A channel change begins: the signal warning may be raised once more.
void VexoPlayerSessionEventTranslation::beginServiceChange() {
  signalWarning_.store(false, std::memory_order_relaxed);
  serviceChangeCount_.store(0, std::memory_order_relaxed);
  send<VexoEventServiceChanging>();
}

// p1 = 0: the service is up. Otherwise the engine is still searching; from
// the third such report after a channel change the signal is shown as bad,
// once per change.
void VexoPlayerSessionEventTranslation::serviceChangeStep(uintptr_t p1) {
  int32_t count = serviceChangeCount_.fetch_add(1, std::memory_order_relaxed) + 1;
  if (p1 == 0) {
    send<VexoEventSignalQuality>(VexoEventSignalQuality::Quality0);
    post<VexoEventServiceChanged>();
    return;
  }
  if (count >= 3 && !signalWarning_.exchange(true, std::memory_order_relaxed)) {
    send<VexoEventSignalQuality>(VexoEventSignalQuality::Quality2);
    post<VexoEventSignalChanged>(1u, 0u);
  }
}

// The CA status is read from the engine's current CA object rather than
// taken from the report.
void VexoPlayerSessionEventTranslation::postCAStatus() {
  if (!engineQuery_) return;
  McPtr<IZantServiceStreams> streams;
  if (plat::failed(engineQuery_(IZantServiceStreams::iid, streams.putVoid())) || !streams) return;
  McPtr<IZantCAInfo> ca;
  if (plat::failed(streams->GetCAInfo(ca.put())) || !ca) return;
  uint32_t status = 0;
  // A status the CA object could not read is not reported as one.
  if (plat::failed(ca->GetCAStatus(&status, 0, 0))) return;
  post<VexoEventCAStatusUpdated>(status);
}

// The event carries a reference to the alarm; the window that handles it
// releases that reference.
void VexoPlayerSessionEventTranslation::postEmergencyAlarm(uintptr_t p1) {
  auto* alarm = reinterpret_cast<IZantEmergencyAlarm*>(p1);
  if (alarm == nullptr) return;
  auto* event = allocateEvent<VexoEventEmergencyAlarm>(static_cast<void*>(alarm));
  if (event == nullptr) return;
  alarm->AddRef();
  VexoObject::PostEvent(event);
}

void VexoPlayerSessionEventTranslation::postControlFlags(uint32_t flags) {
  auto* event = allocateEvent<VexoEventEnableButton>();
  if (event == nullptr) return;
  applyControlFlags(*event, flags);
  VexoObject::PostEvent(event);
}

// ---- source manager ----

Status VexoSourceManagerEventTranslator::OnEvent(IMcUnknown*, uint32_t code, uintptr_t, uintptr_t p2) {
  return guarded([&] {
    switch (code) {
      case zant::kEvSourceArrival: post<VexoEventSourceArrival>(); break;
      case zant::kEvSourceRemoved:
        // Removed first, so the window drops the source before it resets
        // the signal display.
        post<VexoEventSourceRemoved>(reinterpret_cast<void*>(p2));
        post<VexoEventSignalChanged>(0u, 0u);
        break;
      case zant::kEvDevicesCollected: post<VexoEventDeviceCollected>(); break;
      default: break;
    }
  });
}

// ---- scheduler ----

Status VexoSchedulerEventTranslator::OnEvent(IMcUnknown*, uint32_t code, uintptr_t p1, uintptr_t) {
  return guarded([&] {
    switch (code) {
      case zant::kEvSchedulerConfirm: post<VexoEventSchedulerEventConfirm>(low32(p1)); break;
      case zant::kEvSchedulerStart: post<VexoEventSchedulerEventStart>(low32(p1)); break;
      case zant::kEvSchedulerStop: post<VexoEventSchedulerEventStop>(low32(p1)); break;
      case zant::kEvSchedulerAdded: post<VexoEventSchedulerAddEvent>(); break;
      default: break;
    }
  });
}
