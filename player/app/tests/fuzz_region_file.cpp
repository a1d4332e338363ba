// Region files sit beside a skin's button images; a damaged one must give no
// region, never a read past its end.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "plat/gfx/region_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  plat::Region region;
  if (plat::succeeded(plat::parseRegionData(std::string_view(reinterpret_cast<const char*>(data), size), &region)))
    region.bounds();
  return 0;
}
