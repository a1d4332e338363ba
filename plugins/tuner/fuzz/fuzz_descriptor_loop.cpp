// Parses the fuzz input as a descriptor loop; the first byte picks the spaces.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "si/descriptors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tapfeed::si;
  if (size < 1) return 0;
  uint32_t spaces = 0;
  if (data[0] & 1) spaces |= kSpaceMpeg;
  if (data[0] & 2) spaces |= kSpaceInt;
  if (data[0] & 4) spaces |= kSpaceDvb;
  std::vector<uint8_t> loop(data + 1, data + size);
  DescriptorList list;
  const int kept = parseDescriptorLoop(loop.data(), loop.size(), spaces, list);
  if (kept >= 0 && static_cast<size_t>(kept) != list.size()) __builtin_trap();
  for (const Descriptor& d : list) {
    if (const auto* f = d.as<TargetIpAddressFields>()) (void)f->firstAddress();
    if (const auto* f = d.as<TargetIpSlashFields>()) {
      if (f->addresses.size() != f->slashMasks.size()) __builtin_trap();
    }
  }
  return 0;
}
