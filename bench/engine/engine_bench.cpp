// Figures for the event path: the session sink list firing into sinks, and
// the simulated engine selecting channels (each selection reports about a
// dozen events) with its events delivered on the calling thread.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "plat/clock.h"
#include "plat/module.h"
#include "plat/paths.h"
#include "vexo/engine_library.h"
#include "vexo/sink_list.h"
#include "zant/test_control.h"

namespace {

class CountingSink final : public McObject<IZantMediaEventSink> {
 public:
  Status OnEvent(IMcUnknown*, uint32_t, uintptr_t, uintptr_t) override {
    ++count;
    return plat::S_OK;
  }
  uint64_t count = 0;
};

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int fires = quick ? 200000 : 2000000;
  const int selects = quick ? 2000 : 20000;

  {
    vexo::SinkList list;
    CountingSink* sinks[4];
    for (auto*& s : sinks) {
      s = new CountingSink();
      list.advise(s->exposed());
    }
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < fires; ++i) list.fire(nullptr, 0x3000C, 3, 60);
    double t = seconds(start);
    std::printf("figure sink_list_fire_per_s %.0f fires/s\n", fires / t);
    std::printf("figure sink_list_calls_per_s %.0f calls/s\n", fires * 4.0 / t);
    for (auto* s : sinks) {
      list.unadvise(s->exposed());
      s->release();
    }
  }

  {
    auto root = std::filesystem::temp_directory_path() / "engine-bench";
    plat::PathConfig cfg = plat::defaultPathConfig();
    cfg.deviceRoot = root;
    plat::configurePaths(cfg);
    plat::VirtualClock clock;
    plat::ScopedClock scoped(clock);
    vexo::EngineLibrary engine;
    if (!engine.available()) {
      std::fprintf(stderr, "engine_bench: ZANTSDK.dll not found beside the program\n");
      return 1;
    }
    McPtr<IZantMediaPlayer> player;
    McPtr<IZantSourceDeviceManager> manager;
    engine.createPlayer(player.put());
    engine.createDeviceManager(manager.put());
    McPtr<IZantEnum> devices;
    manager->EnumDevices(zant::kSourceClassLive, devices.put());
    IMcUnknown* item = nullptr;
    devices->Next(1, &item, nullptr);
    auto tuner = McPtr<IZantSourceDevice>::adopt(static_cast<IZantSourceDevice*>(item));
    auto* sink = new CountingSink();
    player->Open(tuner.get(), 0, nullptr, nullptr, sink->exposed());
    McPtr<IZantServiceStreams> streams;
    player->GetServiceStreams(streams.put());
    auto channels = mcQuery<IZantChannelManager>(streams.get());
    auto store = mcQuery<IZantPropertyStore>(streams.get());
    store->Set(zant::kPropRegion, 13);
    uint64_t before = sink->count;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < selects; ++i) channels->SelectByIndex(i % 10);
    double t = seconds(start);
    std::printf("figure engine_select_per_s %.0f selects/s\n", selects / t);
    std::printf("figure engine_events_per_select %.1f events\n", double(sink->count - before) / selects);
    player->CloseSource();
    player->Disconnect(nullptr, sink->exposed());
    sink->release();
    std::filesystem::remove_all(root);
  }
  return 0;
}
