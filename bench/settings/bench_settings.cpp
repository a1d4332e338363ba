// Figures of the settings store and the string table on the shipped files:
//   settings_get_per_s   GetDWORD by path from the user store
//   settings_save_ms     Save of the full user store (median, includes the flush)
//   settings_save_flush_floor_ms  the same bytes through the atomic replace alone
//   string_lookup_per_s  GetString of texts in the Japanese table
// Runs in a temporary device root; --quick shortens every run.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "plat/file.h"
#include "plat/paths.h"
#include "vexo/setting.h"
#include "vexo/string_loader.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool stageFile(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::create_directories(to.parent_path(), ec);
  return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--quick") == 0) quick = true;

  std::string tmpl = (fs::temp_directory_path() / "tunora-bench-settings-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) return 1;
  fs::path base = tmpl;
  plat::PathConfig config;
  config.deviceRoot = base / "root";
  config.programDir = base / "program";
  fs::create_directories(config.programDir);
  plat::configurePaths(config);
  const fs::path data = TUNORA_DATA_DIR;
  if (!stageFile(data / "String.xml", config.programDir / "String.xml") ||
      !stageFile(data / "Setting.xml", config.deviceRoot / "NAND" / "ISDBT" / "Norvale" / "Ondavue" / "Setting.xml")) {
    std::fprintf(stderr, "cannot stage the data files from %s\n", data.c_str());
    return 1;
  }
  int result = 0;
  {
    McPtr<IVexoCmnSetting> store;
    CoCreateVexoCmnSetting(vexo::kSettingKindFile, 0, "Norvale", "Ondavue", store.put());
    const char* paths[] = {"/Setting/Volume", "/Setting/Video/Brightness", "/Setting/Scan/StartFreq/ISDBT",
                           "/Setting/TimeShifting/BufferSize", "/Setting/General/Language", "/Setting/LastChannel",
                           "/Setting/ParentControl/Age", "/Setting/PVR/DiskLimitSize"};
    uint32_t sum = 0, value = 0;
    for (const char* p : paths) {
      if (!store || store->GetDWORD(p, &value) != plat::S_OK) {
        std::fprintf(stderr, "cannot read %s from the shipped settings\n", p);
        return 1;
      }
    }
    const size_t gets = quick ? 400000 : 4000000;
    auto start = Clock::now();
    for (size_t i = 0; i < gets; ++i) {
      store->GetDWORD(paths[i % std::size(paths)], &value);
      sum += value;
    }
    double seconds = secondsSince(start);
    std::printf("figure settings_get_per_s %.0f gets/s\n", gets / seconds);

    // Each save ends in a flush to the disk, whose latency depends on the
    // machine's load; the same bytes written through the platform's atomic
    // replace alone, interleaved with the saves, give the floor under it.
    const int saves = quick ? 20 : 200;
    std::vector<double> ms, floorMs;
    const plat::String16 storeFile = u"\\NAND\\ISDBT\\Norvale\\Ondavue\\Setting.xml";
    const plat::String16 floorFile = u"\\NAND\\ISDBT\\Norvale\\Ondavue\\Floor.xml";
    std::string bytes;
    for (int i = 0; i < saves; ++i) {
      store->SetDWORD("/Setting/Volume", static_cast<uint32_t>(i % 100));
      auto t = Clock::now();
      if (store->Save() != plat::S_OK) {
        std::fprintf(stderr, "save failed\n");
        result = 1;
        break;
      }
      ms.push_back(secondsSince(t) * 1000.0);
      if (bytes.empty()) plat::readWholeFile(storeFile, &bytes);
      t = Clock::now();
      plat::atomicReplace(floorFile, bytes);
      floorMs.push_back(secondsSince(t) * 1000.0);
    }
    if (!ms.empty()) {
      std::sort(ms.begin(), ms.end());
      std::sort(floorMs.begin(), floorMs.end());
      std::printf("figure settings_save_ms %.3f ms\n", ms[ms.size() / 2]);
      std::printf("figure settings_save_flush_floor_ms %.3f ms\n", floorMs[floorMs.size() / 2]);
    }
    if (sum == 1) std::printf("\n");  // keeps the loop's reads alive
  }
  {
    McPtr<IVexoCmnStringLoader> strings;
    CoCreateVexoCmnStringLoader(strings.put());
    if (!strings || strings->Load(u"\\Program Files\\Tunora\\String.xml") != plat::S_OK) {
      std::fprintf(stderr, "cannot load the shipped string table\n");
      return 1;
    }
    strings->SetLCID(1041);
    const char* keys[] = {"/MainWindow/NoChannel", "/ControlPanel/Play", "/SettingDlg/ScanPage/Caption",
                          "/Japan/Tokyo", "/SettingWindow/GeneralPage/AudioStream3", "/VolumePanel/Mute",
                          "/Mainwindow/NoSDCard", "/RecordErrorDlg/Title"};
    char16_t buffer[plat::kMaxPath];
    for (const char* k : keys) {
      if (strings->GetString(k, buffer, plat::kMaxPath) != plat::S_OK) {
        std::fprintf(stderr, "missing text %s\n", k);
        return 1;
      }
    }
    const size_t lookups = quick ? 400000 : 4000000;
    size_t chars = 0;
    auto start = Clock::now();
    for (size_t i = 0; i < lookups; ++i) {
      strings->GetString(keys[i % std::size(keys)], buffer, plat::kMaxPath);
      chars += buffer[0];
    }
    double seconds = secondsSince(start);
    std::printf("figure string_lookup_per_s %.0f lookups/s\n", lookups / seconds);
    if (chars == 1) std::printf("\n");
  }
  std::error_code ec;
  fs::remove_all(base, ec);
  return result;
}
