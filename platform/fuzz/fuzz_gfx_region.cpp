// Region data blocks from region files: any bytes must give either an error
// or rectangles that all lie within the block's stated count.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "plat/gfx/region_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view block(reinterpret_cast<const char*>(data), size);
  plat::RectList rects;
  if (plat::succeeded(plat::parseRegionData(block, &rects))) {
    if (size < plat::kRegionHeaderSize) std::abort();
    if (rects.size() * plat::kRegionRectBytes + plat::kRegionHeaderSize > size) std::abort();
    for (const plat::Rect& r : rects)
      if (r.empty()) std::abort();
    plat::Region region;
    plat::parseRegionData(block, &region);
    region.contains(plat::Point{0, 0});
  }
  return 0;
}
