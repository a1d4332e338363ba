// The process-wide image cache: one decoded image per exact path while
// caching is on.
#include <mutex>
#include <unordered_map>

#include "plat/gfx/image.h"
#include "plat/paths.h"

namespace plat {

namespace {

struct ImageCache {
  std::mutex mutex;
  bool enabled = false;
  std::unordered_map<std::string, ImagePtr> images;
};

ImageCache& cache() {
  static ImageCache* c = new ImageCache();  // lives for the process
  return *c;
}

}  // namespace

ImagePtr cachedImage(const std::filesystem::path& hostPath, Status* status) {
  ImageCache& c = cache();
  const std::string key = hostPath.string();
  {
    std::lock_guard lock(c.mutex);
    if (c.enabled)
      if (auto it = c.images.find(key); it != c.images.end()) {
        if (status) *status = S_OK;
        return it->second;
      }
  }
  // Decode outside the lock; a racing load of the same path keeps the first.
  auto image = std::make_shared<Image>();
  const Status st = loadImageFile(hostPath, image.get());
  if (status) *status = st;
  if (failed(st)) return nullptr;
  std::lock_guard lock(c.mutex);
  if (!c.enabled) return image;
  return c.images.emplace(key, std::move(image)).first->second;
}

ImagePtr cachedDeviceImage(StringView16 devicePath, Status* status) {
  const auto host = toHostPath(devicePath);
  if (!host) {
    if (status) *status = E_PATH_NOT_FOUND;
    return nullptr;
  }
  return cachedImage(*host, status);
}

void setImageCacheEnabled(bool enabled) {
  std::lock_guard lock(cache().mutex);
  cache().enabled = enabled;
}

void clearImageCache() {
  std::lock_guard lock(cache().mutex);
  cache().images.clear();
}

size_t imageCacheSize() {
  std::lock_guard lock(cache().mutex);
  return cache().images.size();
}

}  // namespace plat
