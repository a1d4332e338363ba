// Skin documents come from the skin folders, which users replace: every
// look-up kind over arbitrary bytes must answer or report not-found.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/skin/skin_document.h"
#include "app/skin/skin_values.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tunora::skin::parseRect(bytes);
  tunora::skin::parseColor(bytes);
  tunora::skin::parseFont(bytes);
  tunora::skin::parseNumber(bytes);

  tunora::skin::SkinDocument doc;
  if (!doc.openMemory(bytes, u"\\skins\\x\\")) return 0;
  for (const std::string& section : doc.sectionNames()) {
    for (const auto& [key, value] : doc.items(section)) {
      doc.getString(section, key);
      doc.getNumber(section, key);
      doc.getRect(section, key);
      doc.getColor(section, key);
      doc.getPicturePath(section, key);
    }
  }
  return 0;
}
