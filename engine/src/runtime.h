// The simulated engine's process state: the broadcast world every player and
// device manager of this loaded engine shares, the timeline of timed work, the
// delivery of events (on the calling thread or on the engine thread) and the
// test hooks (call log, injected failures, withheld interfaces).
//
// Locking: `mu` guards the world. Nothing holds `mu` (or any other lock of
// the engine) while a sink is called: work collects its events in an Outbox
// and hands it to deliver() after unlocking.
#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "plat/clock.h"
#include "plat/sync.h"
#include "plat/thread.h"
#include "sink_set.h"
#include "vexo/collection.h"
#include "world.h"
#include "zant/engine.h"

namespace zantsim {

class PlayerCore;
class DeviceObj;
class ChannelObj;
class AlarmObj;

// One event on its way to a set of sinks. `keep` holds whatever p1 or p2
// point at, so the pointer stays valid for the whole call.
struct Outgoing {
  std::shared_ptr<SinkSet> sinks;
  McPtr<IMcUnknown> sender;
  uint32_t code = 0;
  uintptr_t p1 = 0;
  uintptr_t p2 = 0;
  std::shared_ptr<void> keep;
};
using Outbox = std::vector<Outgoing>;

using ZantEnumObj = McCollection<IZantEnum>;
inline ZantEnumObj* newEnum() { return ZantEnumObj::create(IZantEnum::iid, plat::E_POINTER); }

class Runtime {
 public:
  static Runtime& get();
  ~Runtime();

  // ---- test hooks ----
  // Records the call; returns the injected result when a failure is armed.
  std::optional<Status> enter(const char* method);
  void injectFailure(std::string method, Status result, uint32_t times);
  void clearFailures();
  void withhold(const Guid& iid, bool on);
  bool withheld(const Guid& iid);
  std::string callLog();
  void clearCallLog();

  // ---- threads and time ----
  Status setThreading(bool engineThread);
  bool threaded() const { return threaded_.load(); }
  bool onEngineThread() const;
  // Runs fn after delayMs of platform-clock time (on the engine thread, or in
  // pump()). owner lets a closing object cancel its pending work.
  void schedule(uint64_t delayMs, std::function<void()> fn, const void* owner);
  void cancel(const void* owner);
  uint32_t pump();
  // Calls the sinks now (calling-thread mode, or on the engine thread), or
  // queues the events for the engine thread; wait blocks until they were
  // delivered (used where no callback may follow the return).
  void deliver(Outbox&& out, bool wait = false);

  // ---- world (guarded by mu) ----
  std::mutex mu;
  Scenario scenario;
  std::vector<McPtr<DeviceObj>> devices;
  std::vector<McPtr<ChannelObj>> channels;                    // one object per scenario channel, for life
  std::map<uint32_t, std::vector<McPtr<ChannelObj>>> lists;   // device id -> its channel list
  std::vector<std::weak_ptr<PlayerCore>> players;
  std::shared_ptr<SinkSet> deviceSinks = std::make_shared<SinkSet>();
  std::optional<uint32_t> signalOverride;
  std::optional<uint32_t> caStatusOverride;
  int32_t batteryLevel = 100;
  bool batteryCharging = false;
  McPtr<AlarmObj> alarm;
  uint32_t nextAlarmId = 1;
  uint64_t scenarioLoadedTick = 0;

  // Replaces the world with a scenario (E_FAIL while a player has a source).
  Status loadScenario(const Scenario& s);
  McPtr<ChannelObj> channelFor(uint32_t channelId);  // caller holds mu
  DeviceObj* deviceById(uint32_t id);                  // caller holds mu
  // Sinks of every live player with a source, for world-wide events.
  void broadcastLocked(Outbox& out, uint32_t code, uintptr_t p1, uintptr_t p2, std::shared_ptr<void> keep);
  void raiseAlarm(uint32_t kind, std::vector<uint32_t> areas, uint32_t durationMs);
  void setSignalLevel(uint32_t level);
  void setBattery(int32_t level, bool charging);
  void setCAStatus(uint32_t status);
  Status setDevicePresent(uint32_t id, bool present);
  void registerPlayer(const std::shared_ptr<PlayerCore>& core);

 private:
  Runtime();
  void scheduleScriptLocked();
  void engineLoop();
  bool runOneDueTask();
  static void fireAll(Outbox& out);

  // test hooks
  std::mutex testMu_;
  std::vector<std::string> log_;
  struct Failure {
    Status result;
    uint32_t remaining;  // 0: every call
  };
  std::map<std::string, Failure, std::less<>> failures_;
  std::vector<Guid> withheld_;

  // timeline and engine thread
  struct Task {
    uint64_t due;
    uint64_t seq;
    std::function<void()> fn;
    const void* owner;
  };
  struct Batch {
    Outbox items;
    std::shared_ptr<plat::Event> done;
  };
  std::mutex timeMu_;
  std::vector<Task> tasks_;  // kept sorted by (due, seq)
  uint64_t nextSeq_ = 1;
  std::deque<Batch> queue_;
  std::atomic<bool> threaded_{false};
  std::atomic<bool> stop_{false};
  plat::Event wake_{plat::Event::Reset::Auto};
  std::atomic<std::thread::id> engineThreadId_{};
  plat::VirtualClock* listenedClock_ = nullptr;
  int clockListener_ = 0;
  plat::Thread thread_;
};

// Logs the call and returns an injected failure when one is armed.
#define ZSIM_ENTER(name)                                                   \
  do {                                                                     \
    if (auto injected_ = ::zantsim::Runtime::get().enter(name)) return *injected_; \
  } while (0)

// Base of every engine object: answers its interfaces unless a test withholds one.
template <class... Is>
class SimObject : public McObject<Is...> {
 protected:
  bool answers(const Guid& iid) override { return !Runtime::get().withheld(iid); }
  Status queryExtra(const Guid&, void**) override { return plat::E_NOINTERFACE; }
};

}  // namespace zantsim
