// platform-demo: prints what the platform layer makes of this machine - the
// device paths and where they live on the host, the time, memory and disk,
// and a registry value that counts the runs - so a fresh checkout shows at
// once that the OS services work. Options: --device-root DIR, --storage-card DIR.
#include <cstdio>
#include <string>
#include <vector>

#include "plat/clock.h"
#include "plat/file.h"
#include "plat/paths.h"
#include "plat/registry.h"
#include "plat/system.h"
#include "plat/text.h"

namespace {

void printPath(const char* label, plat::StringView16 devicePath) {
  auto host = plat::toHostPath(devicePath);
  std::printf("  %-14s %-28s -> %s\n", label, plat::utf16ToUtf8(devicePath).c_str(),
              host ? host->c_str() : "(outside every root)");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  plat::configurePaths(plat::defaultPathConfig(args));

  std::printf("Tunora platform demo (%s)\n", plat::processName().c_str());
  std::printf("Device paths:\n");
  printPath("program dir", plat::programDirectory());
  printPath("resident", u"\\NAND\\ISDBT\\Setting.xml");
  for (const auto& card : plat::storageCards()) printPath("storage card", u"\\" + card.name);

  plat::SystemTime local = plat::localSystemTime();
  std::printf("Local time:     %04u-%02u-%02u %02u:%02u:%02u (tick %llu ms)\n", local.year, local.month,
              local.day, local.hour, local.minute, local.second,
              static_cast<unsigned long long>(plat::tickCount()));

  plat::MemoryStatus memory = plat::memoryStatus();
  std::printf("Memory:         %llu MiB of %llu MiB free (%u%% in use)\n",
              static_cast<unsigned long long>(memory.availPhys >> 20),
              static_cast<unsigned long long>(memory.totalPhys >> 20), memory.loadPercent);

  plat::DiskSpace disk;
  if (plat::succeeded(plat::diskFreeSpace(u"\\", &disk))) {
    std::printf("Device root:    %llu MiB free of %llu MiB\n",
                static_cast<unsigned long long>(disk.freeToCaller >> 20),
                static_cast<unsigned long long>(disk.total >> 20));
  }

  const char16_t* key = u"Software\\Norvale\\Tunora";
  uint32_t runs = 0;
  plat::regGetDword(plat::RegRoot::CurrentUser, key, u"DemoRuns", &runs);  // absent on the first run
  ++runs;
  plat::Status saved = plat::regSetDword(plat::RegRoot::CurrentUser, key, u"DemoRuns", runs);
  std::printf("Registry:       run %u recorded (%s)\n", runs, plat::statusName(saved));
  return plat::succeeded(saved) ? 0 : 1;
}
