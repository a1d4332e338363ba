#include "runtime.h"

#include <algorithm>

#include "objects.h"
#include "player.h"
#include "plat/debug.h"

namespace zantsim {

namespace {
constexpr size_t kMaxLogLines = 20000;
}

Runtime& Runtime::get() {
  static Runtime runtime;
  return runtime;
}

Runtime::Runtime() {
  std::lock_guard lock(mu);
  loadScenario(defaultScenario());
}

Runtime::~Runtime() { setThreading(false); }

// ---- test hooks ----

std::optional<Status> Runtime::enter(const char* method) {
  std::lock_guard lock(testMu_);
  if (log_.size() >= kMaxLogLines) log_.erase(log_.begin(), log_.begin() + kMaxLogLines / 2);
  log_.emplace_back(method);
  auto it = failures_.find(std::string_view(method));
  if (it == failures_.end()) return std::nullopt;
  Status result = it->second.result;
  if (it->second.remaining > 0 && --it->second.remaining == 0) failures_.erase(it);
  return result;
}

void Runtime::injectFailure(std::string method, Status result, uint32_t times) {
  std::lock_guard lock(testMu_);
  failures_[std::move(method)] = {result, times};
}

void Runtime::clearFailures() {
  std::lock_guard lock(testMu_);
  failures_.clear();
}

void Runtime::withhold(const Guid& iid, bool on) {
  std::lock_guard lock(testMu_);
  std::erase(withheld_, iid);
  if (on) withheld_.push_back(iid);
}

bool Runtime::withheld(const Guid& iid) {
  std::lock_guard lock(testMu_);
  return std::find(withheld_.begin(), withheld_.end(), iid) != withheld_.end();
}

std::string Runtime::callLog() {
  std::lock_guard lock(testMu_);
  std::string out;
  for (const std::string& line : log_) {
    out += line;
    out += '\n';
  }
  return out;
}

void Runtime::clearCallLog() {
  std::lock_guard lock(testMu_);
  log_.clear();
}

// ---- threads, time and delivery ----

bool Runtime::onEngineThread() const { return engineThreadId_.load() == std::this_thread::get_id(); }

Status Runtime::setThreading(bool engineThread) {
  if (onEngineThread()) return plat::E_FAIL;  // the engine thread cannot stop itself
  if (engineThread == threaded_.load()) return plat::S_OK;
  if (engineThread) {
    stop_ = false;
    if (auto* vc = dynamic_cast<plat::VirtualClock*>(&plat::currentClock())) {
      listenedClock_ = vc;
      clockListener_ = vc->addListener([this] { wake_.set(); });
    }
    threaded_ = true;
    thread_ = plat::Thread("zant-engine", [this] { engineLoop(); });
  } else {
    stop_ = true;
    wake_.set();
    thread_.join();
    if (listenedClock_ != nullptr) {
      listenedClock_->removeListener(clockListener_);
      listenedClock_ = nullptr;
    }
    threaded_ = false;
    // Whatever was still queued is delivered here, on the caller's thread.
    std::deque<Batch> rest;
    {
      std::lock_guard lock(timeMu_);
      rest.swap(queue_);
    }
    for (Batch& b : rest) {
      fireAll(b.items);
      if (b.done) b.done->set();
    }
  }
  return plat::S_OK;
}

void Runtime::schedule(uint64_t delayMs, std::function<void()> fn, const void* owner) {
  {
    std::lock_guard lock(timeMu_);
    Task t{plat::tickCount() + delayMs, nextSeq_++, std::move(fn), owner};
    auto pos = std::upper_bound(tasks_.begin(), tasks_.end(), t,
                                [](const Task& a, const Task& b) { return a.due < b.due || (a.due == b.due && a.seq < b.seq); });
    tasks_.insert(pos, std::move(t));
  }
  wake_.set();
}

void Runtime::cancel(const void* owner) {
  std::vector<Task> dropped;  // destroyed outside the lock: they may hold references
  std::lock_guard lock(timeMu_);
  for (auto it = tasks_.begin(); it != tasks_.end();) {
    if (it->owner == owner) {
      dropped.push_back(std::move(*it));
      it = tasks_.erase(it);
    } else {
      ++it;
    }
  }
}

bool Runtime::runOneDueTask() {
  Task t;
  {
    std::lock_guard lock(timeMu_);
    if (tasks_.empty() || tasks_.front().due > plat::tickCount()) return false;
    t = std::move(tasks_.front());
    tasks_.erase(tasks_.begin());
  }
  t.fn();
  return true;
}

uint32_t Runtime::pump() {
  uint32_t ran = 0;
  if (threaded_) return 0;
  while (ran < 100000 && runOneDueTask()) ++ran;
  return ran;
}

void Runtime::fireAll(Outbox& out) {
  for (Outgoing& o : out)
    if (o.sinks) o.sinks->fire(o.sender.get(), o.code, o.p1, o.p2);
}

void Runtime::deliver(Outbox&& out, bool wait) {
  if (out.empty()) return;
  if (!threaded_ || onEngineThread()) {
    fireAll(out);
    return;
  }
  std::shared_ptr<plat::Event> done;
  if (wait) done = std::make_shared<plat::Event>(plat::Event::Reset::Manual);
  {
    std::lock_guard lock(timeMu_);
    queue_.push_back({std::move(out), done});
  }
  wake_.set();
  if (done) done->wait();
}

void Runtime::engineLoop() {
  engineThreadId_ = std::this_thread::get_id();
  while (!stop_) {
    for (;;) {
      Batch b;
      {
        std::lock_guard lock(timeMu_);
        if (queue_.empty()) break;
        b = std::move(queue_.front());
        queue_.pop_front();
      }
      fireAll(b.items);
      if (b.done) b.done->set();
    }
    while (!stop_ && runOneDueTask()) {
    }
    uint32_t timeout = plat::kInfinite;
    {
      std::lock_guard lock(timeMu_);
      if (!queue_.empty()) continue;
      if (!tasks_.empty() && listenedClock_ == nullptr) {
        uint64_t now = plat::tickCount();
        uint64_t due = tasks_.front().due;
        timeout = due > now ? static_cast<uint32_t>(std::min<uint64_t>(due - now, 1000)) : 0;
      }
    }
    wake_.wait(timeout);
  }
  engineThreadId_ = std::thread::id{};
}

// ---- world ----

Status Runtime::loadScenario(const Scenario& s) {
  for (auto& weak : players)
    if (auto core = weak.lock(); core && core->hasSource()) return plat::E_FAIL;
  scenario = s;
  devices.clear();
  for (const DeviceInfo& d : s.devices) devices.push_back(McPtr<DeviceObj>::adopt(new DeviceObj(d)));
  channels.clear();
  for (const auto& c : s.channels) channels.push_back(McPtr<ChannelObj>::adopt(new ChannelObj(c)));
  lists.clear();
  signalOverride.reset();
  caStatusOverride.reset();
  batteryLevel = s.batteryLevel;
  batteryCharging = s.batteryCharging;
  alarm.reset();
  scenarioLoadedTick = plat::tickCount();
  scheduleScriptLocked();
  return plat::S_OK;
}

void Runtime::scheduleScriptLocked() {
  cancel(&scenario);
  for (const ScriptedEvent& e : scenario.script) {
    ScriptedEvent copy = e;
    schedule(e.atMs, [this, copy] {
      switch (copy.kind) {
        case ScriptedEvent::Kind::Event: {
          Outbox out;
          {
            std::lock_guard lock(mu);
            broadcastLocked(out, copy.code, copy.p1, copy.p2, nullptr);
          }
          deliver(std::move(out));
          break;
        }
        case ScriptedEvent::Kind::Alarm: raiseAlarm(copy.alarmKind, copy.areas, copy.durationMs); break;
        case ScriptedEvent::Kind::Battery: setBattery(static_cast<int32_t>(copy.p1), copy.p2 != 0); break;
        case ScriptedEvent::Kind::Signal: setSignalLevel(copy.p1); break;
        case ScriptedEvent::Kind::CAStatus: setCAStatus(copy.p1); break;
      }
    }, &scenario);
  }
}

McPtr<ChannelObj> Runtime::channelFor(uint32_t channelId) {
  for (const auto& c : channels)
    if (c->info().channelId() == channelId) return c;
  return nullptr;
}

DeviceObj* Runtime::deviceById(uint32_t id) {
  for (const auto& d : devices)
    if (d->info().id == id) return d.get();
  return nullptr;
}

void Runtime::registerPlayer(const std::shared_ptr<PlayerCore>& core) {
  std::lock_guard lock(mu);
  std::erase_if(players, [](const std::weak_ptr<PlayerCore>& w) { return w.expired(); });
  players.push_back(core);
}

void Runtime::broadcastLocked(Outbox& out, uint32_t code, uintptr_t p1, uintptr_t p2, std::shared_ptr<void> keep) {
  for (auto& weak : players) {
    auto core = weak.lock();
    if (!core || !core->hasSource()) continue;
    out.push_back({core->sinks(), McPtr<IMcUnknown>::share(core->identity()), code, p1, p2, keep});
  }
}

void Runtime::raiseAlarm(uint32_t kind, std::vector<uint32_t> areas, uint32_t durationMs) {
  Outbox out;
  McPtr<AlarmObj> active;
  {
    std::lock_guard lock(mu);
    uint32_t id = nextAlarmId++;
    std::vector<std::u16string> texts;
    texts.push_back(kind == zant::kAlarmKindTsunami ? u"津波警報が発表されました。" : u"緊急地震速報。強い揺れに警戒してください。");
    active = McPtr<AlarmObj>::adopt(new AlarmObj(id, true, zant::kSourceClassLive | zant::kStandardIsdbT, kind, areas, texts));
    alarm = active;
    broadcastLocked(out, zant::kEvEmergencyAlarm, reinterpret_cast<uintptr_t>(active->exposed()), 0,
                    std::shared_ptr<void>(active.get(), [keep = active](void*) {}));
  }
  deliver(std::move(out));
  if (durationMs == 0) return;
  schedule(durationMs, [this, active] {
    Outbox ended;
    {
      std::lock_guard lock(mu);
      if (alarm.get() != active.get()) return;  // replaced by a newer alarm
      McPtr<AlarmObj> over = McPtr<AlarmObj>::adopt(
          new AlarmObj(active->id(), false, zant::kSourceClassLive | zant::kStandardIsdbT, active->kind(), active->areas(),
                       active->messages()));
      alarm.reset();
      broadcastLocked(ended, zant::kEvEmergencyAlarm, reinterpret_cast<uintptr_t>(over->exposed()), 0,
                      std::shared_ptr<void>(over.get(), [keep = over](void*) {}));
    }
    deliver(std::move(ended));
  }, &scenario);
}

void Runtime::setSignalLevel(uint32_t level) {
  std::vector<std::shared_ptr<PlayerCore>> cores;
  {
    std::lock_guard lock(mu);
    signalOverride = std::min<uint32_t>(level, 100);
    for (auto& w : players)
      if (auto c = w.lock()) cores.push_back(c);
  }
  for (auto& c : cores) c->signalChanged();
}

void Runtime::setBattery(int32_t level, bool charging) {
  Outbox out;
  {
    std::lock_guard lock(mu);
    batteryLevel = std::clamp(level, 0, 100);
    batteryCharging = charging;
    auto record = std::make_shared<ZantBatteryStatus>(ZantBatteryStatus{batteryLevel, static_cast<uint8_t>(charging)});
    broadcastLocked(out, zant::kEvBattery, reinterpret_cast<uintptr_t>(record.get()), 0, record);
  }
  deliver(std::move(out));
}

void Runtime::setCAStatus(uint32_t status) {
  Outbox out;
  {
    std::lock_guard lock(mu);
    caStatusOverride = status;
    broadcastLocked(out, zant::kEvCAStatusChanged, status, 0, nullptr);
  }
  deliver(std::move(out));
}

Status Runtime::setDevicePresent(uint32_t id, bool present) {
  Outbox out;
  {
    std::lock_guard lock(mu);
    DeviceObj* d = deviceById(id);
    if (d == nullptr) return plat::E_INVALIDARG;
    if (d->present() == present) return plat::S_OK;
    d->setPresent(present);
    uintptr_t dev = reinterpret_cast<uintptr_t>(d->exposed());
    auto keep = std::shared_ptr<void>(d, [ref = McPtr<DeviceObj>::share(d)](void*) {});
    if (present) out.push_back({deviceSinks, nullptr, zant::kEvSourceArrival, dev, 0, keep});
    else out.push_back({deviceSinks, nullptr, zant::kEvSourceRemoved, 0, dev, keep});
  }
  deliver(std::move(out));
  return plat::S_OK;
}

}  // namespace zantsim
