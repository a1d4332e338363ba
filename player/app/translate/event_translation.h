// The player's three event sinks: one per kind of sender (each player session,
// the source manager, the scheduler). Each turns the numeric codes its sender
// reports through IZantMediaEventSink::OnEvent into VexoEvents and posts them,
// so the windows handle them later on the user-interface thread. A few
// session codes are sent instead: their handlers run at once, on the
// reporting thread (the engine's callback thread).
//
// The application object creates each sink with one reference, registers it
// with its sender (Advise), and at shutdown unregisters (Unadvise) and
// releases it. OnEvent returns 0 for every code; unknown codes are ignored.
//
// Pointer parameters (records, names, the alarm object) are valid only for
// the call: every event that needs them copies what it keeps. A null pointer
// where a code carries a record produces no event. When an event cannot be
// allocated nothing is posted or sent, and no reference is taken.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "vexo/mc.h"
#include "zant/event_sink.h"

class VexoEventEnableButton;

// The button index each session control-flag bit enables (bit i -> entry i).
// Bits 0..10 keep their numbers; bits 11..15 move up by one to make room for
// index 11 (time-shift active), which is carried by bit 16.
inline constexpr std::array<unsigned, 17> kControlFlagButtons = {0,  1,  2,  3,  4,  5,  6,  7, 8,
                                                                 9,  10, 12, 13, 14, 15, 16, 11};

// Sets every button of the event whose control-flag bit is set in flags.
void applyControlFlags(VexoEventEnableButton& event, uint32_t flags);

// Sink for one player session: engine codes relayed by the session and the
// session's own notifications.
class VexoPlayerSessionEventTranslation final : public McObject<IZantMediaEventSink> {
 public:
  // Reaches an engine interface through the application's first player
  // session (its QueryEngineInterface). Called on the reporting thread, so it
  // must be safe there; an empty function means no session to ask.
  using EngineQuery = std::function<Status(const Guid& iid, void** out)>;

  // session: the player session this sink is bound to (not owned; the
  // session owns its sinks, not the other way round).
  VexoPlayerSessionEventTranslation(IMcUnknown* session, EngineQuery engineQuery);

  Status OnEvent(IMcUnknown* sender, uint32_t code, uintptr_t p1, uintptr_t p2) override;

  IMcUnknown* session() const { return session_; }
  // Diagnostics for tests.
  int32_t serviceChangeCount() const { return serviceChangeCount_.load(std::memory_order_relaxed); }
  bool signalWarningRaised() const { return signalWarning_.load(std::memory_order_relaxed); }

 private:
  ~VexoPlayerSessionEventTranslation() override = default;

  void translate(uint32_t code, uintptr_t p1, uintptr_t p2);
  void beginServiceChange();
  void serviceChangeStep(uintptr_t p1);
  void postCAStatus();
  void postEmergencyAlarm(uintptr_t alarm);
  void postControlFlags(uint32_t flags);

  IMcUnknown* session_;
  EngineQuery engineQuery_;
  // Touched only by this session's OnEvent; atomic so that reports arriving
  // on more than one engine thread stay well defined.
  std::atomic<bool> signalWarning_{false};
  std::atomic<int32_t> serviceChangeCount_{0};
};

// Sink for the source manager: device arrival, removal and "devices collected".
class VexoSourceManagerEventTranslator final : public McObject<IZantMediaEventSink> {
 public:
  VexoSourceManagerEventTranslator() = default;
  Status OnEvent(IMcUnknown* sender, uint32_t code, uintptr_t p1, uintptr_t p2) override;

 private:
  ~VexoSourceManagerEventTranslator() override = default;
};

// Sink for the scheduler: reservation confirmed, started, stopped, added.
class VexoSchedulerEventTranslator final : public McObject<IZantMediaEventSink> {
 public:
  VexoSchedulerEventTranslator() = default;
  Status OnEvent(IMcUnknown* sender, uint32_t code, uintptr_t p1, uintptr_t p2) override;

 private:
  ~VexoSchedulerEventTranslator() override = default;
};
