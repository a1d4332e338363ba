// Region data blocks: the byte layout region files (".rgn") hold, little
// endian: header size (u32, must be 32), type (u32, 1 = rectangles),
// rectangle count n (u32), size of the rectangle part (u32, not relied on),
// bounding rectangle (4 x i32: left, top, right, bottom), then n rectangles
// of 4 x i32. The region is the union of the rectangles.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "plat/gfx/rect_list.h"
#include "plat/region.h"
#include "plat/status.h"
#include "plat/text.h"

namespace plat {

inline constexpr uint32_t kRegionHeaderSize = 32;
inline constexpr uint32_t kRegionTypeRectangles = 1;
inline constexpr uint32_t kRegionRectBytes = 16;
inline constexpr uint64_t kMaxRegionFileBytes = uint64_t{4} << 20;

// Validates the block (header size 32, type 1, 32 + 16 * count <= block size)
// and returns the rectangles as given (empty ones dropped). E_DATA_INVALID
// for a block that fails a check; `rects` is only changed on success.
Status parseRegionData(std::string_view block, RectList* rects);
// Reads a region file whole (bounded size) and parses it. E_FILE_NOT_FOUND
// when it cannot be opened.
Status loadRegionFile(const std::filesystem::path& hostPath, RectList* rects);
// The same, producing a region (the union of the rectangles).
Status parseRegionData(std::string_view block, Region* region);
Status loadRegionFile(const std::filesystem::path& hostPath, Region* region);
// The same for a device path; E_PATH_NOT_FOUND when it maps to no host path.
Status loadDeviceRegionFile(StringView16 devicePath, Region* region);
// Builds a block for the rectangles (for tools and tests writing region files).
std::string encodeRegionData(const RectList& rects);

}  // namespace plat
