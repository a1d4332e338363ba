// The engine library's exports: the two factories and the test interface.
#include <string>

#include "fronts.h"
#include "plat/file.h"
#include "runtime.h"
#include "zant/engine.h"
#include "zant/test_control.h"

namespace zantsim {
namespace {

class TestControlObj final : public McObject<IZantTestControl> {
 public:
  Status SetEventThreading(uint32_t engineThread) override { return Runtime::get().setThreading(engineThread != 0); }

  Status LoadScenario(const char* hostPath) override {
    if (hostPath == nullptr) return plat::E_POINTER;
    std::string text;
    if (Status s = plat::readWholeFileHost(hostPath, &text, kMaxScenarioBytes); plat::failed(s)) return s;
    return LoadScenarioText(text.data(), static_cast<uint32_t>(text.size()));
  }

  Status LoadScenarioText(const char* xml, uint32_t size) override {
    if (xml == nullptr) return plat::E_POINTER;
    Scenario s;
    std::string error;
    if (Status r = parseScenario(std::string_view(xml, size), &s, &error); plat::failed(r)) {
      lastError_ = error;
      return r;
    }
    Runtime& rt = Runtime::get();
    std::lock_guard lock(rt.mu);
    return rt.loadScenario(s);
  }

  Status ScriptEvent(uint32_t delayMs, uint32_t code, uintptr_t p1, uintptr_t p2) override {
    Runtime& rt = Runtime::get();
    rt.schedule(delayMs, [code, p1, p2] {
      Runtime& r = Runtime::get();
      Outbox out;
      {
        std::lock_guard lock(r.mu);
        r.broadcastLocked(out, code, p1, p2, nullptr);
      }
      r.deliver(std::move(out));
    }, &scriptOwner_);
    return plat::S_OK;
  }

  Status InjectFailure(const char* method, Status result, uint32_t times) override {
    if (method == nullptr) return plat::E_POINTER;
    Runtime::get().injectFailure(method, result, times);
    return plat::S_OK;
  }
  Status ClearFailures() override {
    Runtime::get().clearFailures();
    return plat::S_OK;
  }
  Status WithholdInterface(const Guid& iid, uint32_t withhold) override {
    Runtime::get().withhold(iid, withhold != 0);
    return plat::S_OK;
  }
  Status GetCallLog(char* buffer, uint32_t capacity, uint32_t* needed) override {
    std::string log = Runtime::get().callLog();
    if (needed) *needed = static_cast<uint32_t>(log.size() + 1);
    if (buffer == nullptr || capacity == 0) return plat::S_FALSE;
    size_t n = std::min<size_t>(log.size(), capacity - 1);
    log.copy(buffer, n);
    buffer[n] = '\0';
    return n == log.size() ? plat::S_OK : plat::S_FALSE;
  }
  Status ClearCallLog() override {
    Runtime::get().clearCallLog();
    return plat::S_OK;
  }
  Status Pump(uint32_t* ran) override {
    uint32_t n = Runtime::get().pump();
    if (ran) *ran = n;
    return plat::S_OK;
  }
  Status RaiseAlarm(uint32_t kind, const uint32_t* areaCodes, uint32_t count, uint32_t durationMs) override {
    if (count > kMaxAreas || (count > 0 && areaCodes == nullptr)) return plat::E_INVALIDARG;
    std::vector<uint32_t> areas(areaCodes, areaCodes + count);
    for (uint32_t a : areas)
      if (a > 0xFFF) return plat::E_INVALIDARG;
    Runtime::get().raiseAlarm(kind, std::move(areas), durationMs);
    return plat::S_OK;
  }
  Status SetSignalLevel(uint32_t level) override {
    if (level > 100) return plat::E_INVALIDARG;
    Runtime::get().setSignalLevel(level);
    return plat::S_OK;
  }
  Status SetBattery(int32_t level, uint32_t charging) override {
    if (level < 0 || level > 100) return plat::E_INVALIDARG;
    Runtime::get().setBattery(level, charging != 0);
    return plat::S_OK;
  }
  Status SetCAStatus(uint32_t status) override {
    Runtime::get().setCAStatus(status);
    return plat::S_OK;
  }
  Status SetDevicePresent(uint32_t deviceId, uint32_t present) override {
    return Runtime::get().setDevicePresent(deviceId, present != 0);
  }

 private:
  ~TestControlObj() override = default;
  const char scriptOwner_ = 0;
  std::string lastError_;
};

}  // namespace
}  // namespace zantsim

extern "C" {
// Declared here: nothing includes the definitions, callers find them by name.
Status CoCreateZNMediaPlayer(const Guid* iid, void** out);
Status CoCreateZNSourceDeviceManager(const Guid* iid, void** out, uint32_t reserved);
Status ZNGetTestControl(const Guid* iid, void** out);

__attribute__((visibility("default"))) Status CoCreateZNMediaPlayer(const Guid* iid, void** out) {
  return zantsim::createPlayer(iid, out);
}

__attribute__((visibility("default"))) Status CoCreateZNSourceDeviceManager(const Guid* iid, void** out, uint32_t) {
  return zantsim::createDeviceManager(iid, out);
}

__attribute__((visibility("default"))) Status ZNGetTestControl(const Guid* iid, void** out) {
  if (out == nullptr || iid == nullptr) return plat::E_POINTER;
  *out = nullptr;
  auto* t = new (std::nothrow) zantsim::TestControlObj();
  if (t == nullptr) return plat::E_OUTOFMEMORY;
  Status s = t->query(*iid, out);
  t->release();
  return s;
}

}  // extern "C"
