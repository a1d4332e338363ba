// Figures of the skin reader over the staged default skin:
//   skin_startup_ms   open every document and resolve and decode every
//                     picture of the main window, with an empty image cache
//                     (median of several runs)
//   skin_lookup_per_s rectangle and number look-ups in the current section
// Usage: bench_skin [--quick]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/skin/image_cache.h"
#include "app/skin/skin_set.h"
#include "plat/paths.h"

namespace {

using Clock = std::chrono::steady_clock;
using tunora::skin::SkinDoc;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Every picture the main window draws at start: its buttons with their other
// looks, indicators, slider, volume bar, and the logo of the common
// configuration (the splash is not part of the main window).
size_t loadMainWindowImages(tunora::skin::SkinSet& set) {
  size_t loaded = 0;
  auto load = [&](tunora::skin::SkinDocument& doc, const std::string& section) {
    for (const auto& [key, value] : doc.items(section)) {
      if (key.find("Img") == std::string::npos && key.find("SNG_") == std::string::npos &&
          key.find("BATT_") == std::string::npos && key != "BkImage")
        continue;
      if (const auto path = doc.getPicturePath(section, key))
        if (tunora::skin::imageCache().load(*path)) ++loaded;
    }
  };
  auto& main = *set.main();
  for (const char* s : {"ControlPanelWindow", "BatteryWindow", "SignalWindow", "ProgWnd0", "VolumeBar", "ProgressBar"})
    load(main, s);
  auto& comm = *set.document(SkinDoc::CommConfig);
  load(comm, "WindowLog");
  return loaded;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  plat::PathConfig config = plat::currentPathConfig();
  config.programDir = TUNORA_PROGRAM_DIR;
  plat::configurePaths(config);
  tunora::skin::imageCache().setEnabled(true);

  const int runs = quick ? 5 : 21;
  std::vector<double> startup;
  size_t images = 0;
  for (int i = 0; i < runs; ++i) {
    tunora::skin::imageCache().clear();
    const auto t0 = Clock::now();
    tunora::skin::SkinSet set(plat::programDirectory());
    if (set.configure({[] { return 0u; }, [](uint32_t) {}}) == 0) {
      std::fprintf(stderr, "bench_skin: the default skin did not load from %s\n", TUNORA_PROGRAM_DIR);
      return 1;
    }
    images = loadMainWindowImages(set);
    startup.push_back(ms(Clock::now() - t0));
  }
  std::sort(startup.begin(), startup.end());
  std::printf("main window images decoded per start: %zu\n", images);
  std::printf("figure skin_startup_ms %.2f ms\n", startup[startup.size() / 2]);

  tunora::skin::SkinSet set(plat::programDirectory());
  set.configure({[] { return 0u; }, [](uint32_t) {}});
  auto& main = *set.main();
  const int buttons = main.getNumber("ControlPanelWindow", "CPWndBtNum").value_or(0);
  std::vector<std::string> keys;
  for (int i = 0; i < buttons; ++i) keys.push_back(plat::formatString("CPWndBtRect%d", i));
  const auto budget = std::chrono::milliseconds(quick ? 200 : 1000);
  uint64_t lookups = 0;
  int64_t sink = 0;
  const auto t0 = Clock::now();
  while (Clock::now() - t0 < budget) {
    for (const std::string& k : keys) {
      if (auto r = main.getRect("ControlPanelWindow", k)) sink += r->left;
      if (auto n = main.getNumber("ControlPanelWindow", "CPWndBtNum")) sink += *n;
      lookups += 2;
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  std::printf("(checksum %lld)\n", static_cast<long long>(sink));
  std::printf("figure skin_lookup_per_s %.0f lookups/s\n", lookups / seconds);
  return 0;
}
