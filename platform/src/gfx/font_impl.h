// Internals of fonts shared by the font module and the text drawing code.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "plat/gfx/font.h"

namespace plat {

// One rendered glyph: 8-bit coverage, placed relative to the pen position on
// the baseline (left to the right, top above the baseline).
struct Glyph {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t advance = 0;
  std::vector<uint8_t> coverage;
};

class Strike;

// Every FreeType call and glyph cache access happens under this lock.
std::mutex& textMutex();

class FontImpl {
 public:
  FontImpl(std::shared_ptr<Strike> own, std::shared_ptr<Strike> standIn, std::string family,
           bool isStandIn);
  ~FontImpl();
  // The caller holds textMutex(). The reference stays valid until the next
  // glyph request on this font.
  const Glyph& glyph(char32_t cp);
  int32_t advance(char32_t cp) { return glyph(cp).advance; }
  const TextMetrics& metrics() const { return metrics_; }
  const std::string& family() const { return family_; }
  bool isStandIn() const { return isStandIn_; }

 private:
  std::shared_ptr<Strike> own_;
  std::shared_ptr<Strike> standIn_;
  std::string family_;
  bool isStandIn_;
  TextMetrics metrics_;
};

// UTF-16 to code points; a lone surrogate becomes U+FFFD.
std::u32string decodeUtf16(StringView16 text);

}  // namespace plat
