// Images in place of the device's imaging library: PNG (with alpha), JPEG and
// BMP decoding, PNG and JPEG encoding, and the process-wide image cache the
// skins use. A damaged or unsupported file is an error status, never a crash;
// dimensions are bounded before any pixel memory is allocated.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "plat/gfx/surface.h"
#include "plat/status.h"
#include "plat/text.h"

namespace plat {

inline constexpr int32_t kMaxImageDimension = 8192;
inline constexpr uint64_t kMaxImageFileBytes = uint64_t{64} << 20;

// Decoded pixels with straight alpha (opaque formats get alpha 255).
struct Image {
  Surface pixels;
  bool hasAlpha = false;
  int32_t width() const { return pixels.width(); }
  int32_t height() const { return pixels.height(); }
};
using ImagePtr = std::shared_ptr<const Image>;

enum class ImageFormat { Unknown, Png, Jpeg, Bmp };
ImageFormat sniffImageFormat(std::string_view bytes);

// E_DATA_INVALID for damaged data or oversized dimensions, E_NOTIMPL for a
// valid file of a variant not supported (BMP compression, for instance).
// `out` is only changed on success.
Status decodeImage(std::string_view bytes, Image* out);
Status decodePng(std::string_view bytes, Image* out);
Status decodeJpeg(std::string_view bytes, Image* out);
Status decodeBmp(std::string_view bytes, Image* out);
Status loadImageFile(const std::filesystem::path& hostPath, Image* out);

Status encodePng(const Surface& pixels, bool withAlpha, std::string* out);
Status writePngFile(const Surface& pixels, const std::filesystem::path& hostPath);
Status encodeJpeg(const Surface& pixels, int quality, std::string* out);

// Process-wide image cache keyed by exact path. With caching on (the player
// turns it on at start), each path is decoded once and kept until
// clearImageCache(); with caching off every call decodes afresh. Returns
// nullptr with *status set when the file cannot be loaded.
ImagePtr cachedImage(const std::filesystem::path& hostPath, Status* status = nullptr);
// The same for a device path ("\\Program Files\\Tunora\\skins\\...");
// E_PATH_NOT_FOUND when it maps to no host path.
ImagePtr cachedDeviceImage(StringView16 devicePath, Status* status = nullptr);
void setImageCacheEnabled(bool enabled);
void clearImageCache();
size_t imageCacheSize();

}  // namespace plat
