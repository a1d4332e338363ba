#include "plat/gfx/region_data.h"

#include <cstring>
#include <fstream>

#include "plat/paths.h"

namespace plat {

namespace {

uint32_t readU32(std::string_view b, size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
int32_t readI32(std::string_view b, size_t at) { return static_cast<int32_t>(readU32(b, at)); }

void appendU32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

Status parseRegionData(std::string_view block, RectList* rects) {
  if (block.size() < kRegionHeaderSize) return E_DATA_INVALID;
  const uint32_t headerSize = readU32(block, 0);
  const uint32_t type = readU32(block, 4);
  const uint32_t count = readU32(block, 8);
  if (headerSize != kRegionHeaderSize || type != kRegionTypeRectangles) return E_DATA_INVALID;
  if (uint64_t{kRegionHeaderSize} + uint64_t{kRegionRectBytes} * count > block.size())
    return E_DATA_INVALID;
  RectList out;
  out.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = kRegionHeaderSize + size_t{kRegionRectBytes} * i;
    Rect r{readI32(block, at), readI32(block, at + 4), readI32(block, at + 8),
           readI32(block, at + 12)};
    if (!r.empty()) out.push_back(r);
  }
  rects->swap(out);
  return S_OK;
}

Status loadRegionFile(const std::filesystem::path& hostPath, RectList* rects) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) return E_FILE_NOT_FOUND;
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(hostPath, ec);
  if (ec) return E_FILE_NOT_FOUND;
  if (size > kMaxRegionFileBytes) return E_DATA_INVALID;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return E_DATA_INVALID;
  return parseRegionData(bytes, rects);
}

Status parseRegionData(std::string_view block, Region* region) {
  RectList rects;
  const Status st = parseRegionData(block, &rects);
  if (succeeded(st)) *region = Region::fromRects(rects);
  return st;
}

Status loadRegionFile(const std::filesystem::path& hostPath, Region* region) {
  RectList rects;
  const Status st = loadRegionFile(hostPath, &rects);
  if (succeeded(st)) *region = Region::fromRects(rects);
  return st;
}

Status loadDeviceRegionFile(StringView16 devicePath, Region* region) {
  const auto host = toHostPath(devicePath);
  if (!host) return E_PATH_NOT_FOUND;
  return loadRegionFile(*host, region);
}

std::string encodeRegionData(const RectList& rects) {
  std::string out;
  Rect bounds = listBounds(rects);
  appendU32(&out, kRegionHeaderSize);
  appendU32(&out, kRegionTypeRectangles);
  appendU32(&out, static_cast<uint32_t>(rects.size()));
  appendU32(&out, static_cast<uint32_t>(rects.size() * kRegionRectBytes));
  for (int32_t v : {bounds.left, bounds.top, bounds.right, bounds.bottom})
    appendU32(&out, static_cast<uint32_t>(v));
  for (const Rect& r : rects)
    for (int32_t v : {r.left, r.top, r.right, r.bottom}) appendU32(&out, static_cast<uint32_t>(v));
  return out;
}

}  // namespace plat
