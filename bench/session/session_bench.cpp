// Channel change through the player session: from the selection request to
// the relay of the engine's "service up" event (0x3000A with p1 0, the code
// the program turns into VexoEventServiceChanged), with the engine's events
// delivered on the calling thread. Prints the median and the 95th percentile,
// and the median of the whole selection call (every event of the change).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "plat/clock.h"
#include "plat/module.h"
#include "plat/paths.h"
#include "vexo/player_session.h"
#include "vexo/setting.h"
#include "vexo/source_manager.h"
#include "zant/test_control.h"

namespace {

using Clock = std::chrono::steady_clock;

// Notes the moment the service-up event is relayed.
class ZapSink final : public McObject<IZantMediaEventSink> {
 public:
  Status OnEvent(IMcUnknown*, uint32_t code, uintptr_t p1, uintptr_t) override {
    if (code == 0x3000A && p1 == 0 && !seen) {
      seen = true;
      at = Clock::now();
    }
    return plat::S_OK;
  }
  bool seen = false;
  Clock::time_point at;
};

}  // namespace

int main(int argc, char** argv) {
  bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int zaps = quick ? 500 : 5000;

  auto root = std::filesystem::temp_directory_path() / "session-bench";
  std::filesystem::remove_all(root);
  plat::PathConfig cfg = plat::defaultPathConfig();
  cfg.deviceRoot = root;
  plat::configurePaths(cfg);
  plat::VirtualClock clock;
  plat::ScopedClock scoped(clock);

  plat::ModuleHandle engine = plat::loadModule(std::string_view(zant::kEngineModuleName));
  if (!engine) {
    std::fprintf(stderr, "session_bench: ZANTSDK.dll not found beside the program\n");
    return 1;
  }
  auto createPlayer = engine->function<ZantCreateMediaPlayerFn>(zant::kFactoryMediaPlayer);
  auto getControl = engine->function<ZantGetTestControlFn>(zant::kExportTestControl);
  McPtr<IZantTestControl> control;
  if (!createPlayer || !getControl || plat::failed(getControl(&IZantTestControl::iid, control.putVoid()))) {
    std::fprintf(stderr, "session_bench: engine exports missing\n");
    return 1;
  }
  control->SetEventThreading(0);

  McPtr<IVexoCmnSetting> store;
  McPtr<IVexoCmnSourceManager> sources;
  McPtr<IVexoCmnPlayerSession> session;
  CoCreateVexoCmnSetting(vexo::kSettingKindFile, 0, "Norvale", "Ondavue", store.put());
  CoCreateVexoCmnSourceManager(sources.put());
  CoCreateVexoCmnPlayerSession(session.put());
  IZantMediaPlayer* player = nullptr;
  createPlayer(&IZantMediaPlayer::iid, reinterpret_cast<void**>(&player));
  if (!store || !sources || !session || session->SetMediaPlayer(player) != plat::S_OK) {
    std::fprintf(stderr, "session_bench: could not create the session\n");
    return 1;
  }
  session->SetSetting(store.get());
  auto* sink = new ZapSink();
  session->Advise(sink->exposed());

  McPtr<IVexoCmnCollection> live;
  sources->EnumSources(zant::kSourceClassLive, live.put());
  IMcUnknown* item = nullptr;
  if (!live || live->Next(1, &item, nullptr) != plat::S_OK) {
    std::fprintf(stderr, "session_bench: no live tuner\n");
    return 1;
  }
  auto tuner = mcQuery<IZantSourceDevice>(item);
  item->Release();
  session->OpenSource(tuner.get());
  session->SetEngineProperty(zant::kPropRegion, 13);
  const uint32_t channels = session->GetChannelCount();
  if (channels < 2) {
    std::fprintf(stderr, "session_bench: the line-up has %u channels\n", channels);
    return 1;
  }

  std::vector<double> ms;
  std::vector<double> whole;  // the whole call, with every event of the change
  ms.reserve(zaps);
  whole.reserve(zaps);
  for (int i = 0; i < zaps; ++i) {
    sink->seen = false;
    auto start = Clock::now();
    Status s = session->SelectChannelByIndex(static_cast<int32_t>(i % channels));
    if (plat::failed(s) || !sink->seen) {
      std::fprintf(stderr, "session_bench: zap %d failed (0x%08X)\n", i, static_cast<unsigned>(s));
      return 1;
    }
    auto done = Clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(sink->at - start).count());
    whole.push_back(std::chrono::duration<double, std::milli>(done - start).count());
    control->Pump(nullptr);
  }
  std::sort(ms.begin(), ms.end());
  std::printf("figure session_zap_ms %.4f ms\n", ms[ms.size() / 2]);
  std::printf("figure session_zap_p95_ms %.4f ms\n", ms[ms.size() * 95 / 100]);
  std::sort(whole.begin(), whole.end());
  std::printf("figure session_zap_call_ms %.4f ms\n", whole[whole.size() / 2]);

  session->Close();
  session->Unadvise(sink->exposed());
  session.reset();
  sink->release();
  std::filesystem::remove_all(root);
  return 0;
}
