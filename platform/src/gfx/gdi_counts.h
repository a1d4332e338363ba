// Live-object counters behind liveGdiObjects().
#pragma once
#include <atomic>
#include <cstdint>

namespace plat::gdi_counts {
extern std::atomic<int64_t> bitmaps;
extern std::atomic<int64_t> fonts;
extern std::atomic<int64_t> deviceContexts;
}  // namespace plat::gdi_counts
