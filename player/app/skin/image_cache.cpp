#include "image_cache.h"

#include <filesystem>
#include <system_error>

#include "plat/paths.h"

namespace tunora::skin {

uint32_t imageCacheBucket(plat::StringView16 path) {
  uint32_t hash = 0;
  const size_t n = path.size() > 4 ? path.size() - 4 : 0;
  for (size_t i = 0; i < n; ++i) hash = hash * 33u + static_cast<uint32_t>(path[i]);
  return hash % kImageCacheBuckets;
}

namespace {

// Decodes one file; NotFound when the path maps to no existing file.
plat::ImagePtr decode(plat::StringView16 devicePath, ImageResult* result) {
  const auto host = plat::toHostPath(devicePath);
  std::error_code ec;
  if (devicePath.empty() || !host || !std::filesystem::is_regular_file(*host, ec)) {
    *result = ImageResult::NotFound;
    return nullptr;
  }
  auto image = std::make_shared<plat::Image>();
  if (plat::failed(plat::loadImageFile(*host, image.get()))) {
    *result = ImageResult::Corrupt;
    return nullptr;
  }
  *result = ImageResult::Loaded;
  return image;
}

}  // namespace

plat::ImagePtr SkinImageCache::load(plat::StringView16 devicePath, ImageResult* resultOut) {
  ImageResult result = ImageResult::NotFound;
  plat::ImagePtr image;
  {
    std::unique_lock lock(mutex_);
    if (enabled_) {
      auto& chain = buckets_[imageCacheBucket(devicePath)];
      for (Entry& e : chain) {
        if (e.path == devicePath) {
          ++e.uses;
          if (resultOut) *resultOut = ImageResult::Loaded;
          return e.image;
        }
      }
    }
    // Decoding under the lock keeps one decode per path; the player loads
    // its images on the user-interface thread only, so nobody waits long.
    image = decode(devicePath, &result);
    if (image && enabled_) {
      buckets_[imageCacheBucket(devicePath)].push_back(Entry{plat::String16(devicePath), image, 1});
      ++count_;
    }
  }
  if (result == ImageResult::Corrupt) {
    CorruptHandler handler;
    {
      std::lock_guard lock(mutex_);
      handler = corrupt_;
    }
    if (handler) handler(devicePath);
  }
  if (resultOut) *resultOut = result;
  return image;
}

void SkinImageCache::setEnabled(bool enabled) {
  std::lock_guard lock(mutex_);
  enabled_ = enabled;
}

void SkinImageCache::setCorruptHandler(CorruptHandler handler) {
  std::lock_guard lock(mutex_);
  corrupt_ = std::move(handler);
}

void SkinImageCache::clear() {
  std::vector<std::vector<Entry>> old(kImageCacheBuckets);
  {
    std::lock_guard lock(mutex_);
    old.swap(buckets_);
    count_ = 0;
  }
  // The images are freed here, outside the lock.
}

size_t SkinImageCache::size() const {
  std::lock_guard lock(mutex_);
  return count_;
}

uint32_t SkinImageCache::useCount(plat::StringView16 devicePath) const {
  std::lock_guard lock(mutex_);
  for (const Entry& e : buckets_[imageCacheBucket(devicePath)])
    if (e.path == devicePath) return e.uses;
  return 0;
}

size_t SkinImageCache::chainLength(plat::StringView16 devicePath) const {
  std::lock_guard lock(mutex_);
  return buckets_[imageCacheBucket(devicePath)].size();
}

SkinImageCache& imageCache() {
  static SkinImageCache cache;
  return cache;
}

}  // namespace tunora::skin
