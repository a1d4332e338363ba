// The BMP reader on arbitrary bytes: an error, or an image within the
// dimension limits whose every pixel can be read.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "plat/gfx/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  plat::Image image;
  if (plat::succeeded(plat::decodeBmp(bytes, &image))) {
    if (image.width() <= 0 || image.height() <= 0 || image.width() > plat::kMaxImageDimension ||
        image.height() > plat::kMaxImageDimension)
      std::abort();
    uint32_t sum = 0;
    for (int32_t y = 0; y < image.height(); ++y) sum += image.pixels.row(y)[image.width() - 1];
    (void)sum;
  }
  return 0;
}
