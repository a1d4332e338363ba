// The source manager: forwards to the engine's source device manager and
// copies the engine's device enumeration into a source collection.
#include "vexo/source_manager.h"

#include "plat/debug.h"
#include "sources/module_keeper.h"
#include "vexo/engine_library.h"

namespace vexo {
namespace {

class SourceManager final : public McObject<IVexoCmnSourceManager> {
 public:
  SourceManager() {
    EngineLibrary engine;
    if (!engine.available()) return;
    keepLoaded(engine.module());
    if (plat::failed(engine.createDeviceManager(devices_.put()))) devices_.reset();
  }

  Status Start(uint32_t flags, uint32_t reserved) override {
    if (!devices_) return plat::E_FAIL;
    return devices_->Start(flags, reserved);
  }
  Status Stop(uint32_t flags, uint32_t reserved) override {
    if (!devices_) return plat::E_FAIL;
    return devices_->Stop(flags, reserved);
  }

  Status EnumSources(uint32_t typeFilter, IVexoCmnCollection** out) override {
    if (out == nullptr) return plat::E_POINTER;
    *out = nullptr;
    if (!devices_) return plat::E_FAIL;
    McPtr<IZantEnum> engineList;
    if (plat::failed(devices_->EnumDevices(typeFilter, engineList.put())) || !engineList) return plat::E_FAIL;
    VexoCmnCollection* sources = createSourceCollection();
    if (sources == nullptr) return plat::E_OUTOFMEMORY;
    Status result = plat::S_OK;
    forEachItem(engineList.get(), [&](IMcUnknown* device) {
      result = sources->append(device);
      return plat::succeeded(result);
    });
    if (plat::failed(result)) {
      sources->release();
      return result;
    }
    *out = sources->exposed();
    return plat::S_OK;
  }

  Status GetSourceInfo(const char16_t* channelName, IZantSourceDevice** out) override {
    if (!devices_) return plat::E_FAIL;
    return devices_->GetSourceInfo(channelName, out);
  }
  Status Advise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) override {
    if (!devices_) return plat::E_FAIL;
    return devices_->Advise(sinkObject, sink);
  }
  Status Unadvise(IMcUnknown* sinkObject, IZantMediaEventSink* sink) override {
    if (!devices_) return plat::E_FAIL;
    return devices_->Unadvise(sinkObject, sink);
  }

 private:
  ~SourceManager() override = default;

  McPtr<IZantSourceDeviceManager> devices_;
};

}  // namespace
}  // namespace vexo

extern "C" Status CoCreateVexoCmnSourceManager(IVexoCmnSourceManager** out) {
  if (out == nullptr) return plat::S_OK;
  *out = nullptr;
  auto* manager = new (std::nothrow) vexo::SourceManager();
  if (manager != nullptr) *out = manager->exposed();
  return plat::S_OK;
}
