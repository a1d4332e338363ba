// The skins' process-wide image cache: each image path is decoded once and
// kept until shutdown, so windows can ask for their images freely. Entries
// are found by a hash of the path into 1999 buckets and told apart by an
// exact compare of the full path, so two skins never share an entry.
//
// A path that names no file is "no image" (nothing is drawn); only a file
// that exists and fails to decode is the damaged-installation case, which
// is reported to the handler the application installs.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "plat/gfx/image.h"
#include "plat/text.h"

namespace tunora::skin {

inline constexpr uint32_t kImageCacheBuckets = 1999;

// The bucket of a path: hash * 33 + code over every character but the last
// four (the extension). Paths of four characters or fewer hash to 0.
uint32_t imageCacheBucket(plat::StringView16 path);

enum class ImageResult { Loaded, NotFound, Corrupt };

class SkinImageCache {
 public:
  // Called (outside the cache's lock) for a file that exists but does not
  // decode. The player shows its "Files corrupt" message and ends there.
  using CorruptHandler = std::function<void(plat::StringView16 path)>;

  // Decodes (or finds) the image of a device path. nullptr for no image;
  // *result, when given, tells why.
  plat::ImagePtr load(plat::StringView16 devicePath, ImageResult* result = nullptr);

  // With caching off every load decodes afresh and nothing is kept.
  void setEnabled(bool enabled);
  void setCorruptHandler(CorruptHandler handler);
  // Releases every cached image (shutdown; also run at start).
  void clear();

  size_t size() const;
  // Use count of a cached path (0 when not cached); for diagnostics and tests.
  uint32_t useCount(plat::StringView16 devicePath) const;
  // Number of entries in a path's bucket chain.
  size_t chainLength(plat::StringView16 devicePath) const;

 private:
  struct Entry {
    plat::String16 path;
    plat::ImagePtr image;
    uint32_t uses = 0;
  };
  mutable std::mutex mutex_;
  bool enabled_ = false;
  CorruptHandler corrupt_;
  std::vector<std::vector<Entry>> buckets_ = std::vector<std::vector<Entry>>(kImageCacheBuckets);
  size_t count_ = 0;
};

// The one cache of the process.
SkinImageCache& imageCache();

}  // namespace tunora::skin
