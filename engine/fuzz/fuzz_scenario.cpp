// Fuzz target: scenario XML. Every input must either load or be refused with
// a status; a loaded scenario must respect the limits and give a schedule.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zantsim::Scenario s;
  std::string error;
  plat::Status st = zantsim::parseScenario(std::string_view(reinterpret_cast<const char*>(data), size), &s, &error);
  if (st != plat::S_OK) return 0;
  if (s.channels.size() > zantsim::kMaxChannels || s.devices.size() > zantsim::kMaxDevices) std::abort();
  for (const auto& c : s.channels) {
    if (c->programmes.empty() || c->programmes.size() > zantsim::kMaxProgrammes) std::abort();
    // Schedules are laid out without loops that never end.
    auto week = zantsim::scheduleFor(*c, plat::unixMsToFileTime(1'767'225'600'000LL), 540);
    if (week.empty()) std::abort();
  }
  return 0;
}
