// The texts of "String.xml": the root <String> holds one <Locale LCID="n">
// per language; inside a Locale the key /A/B/C is the text of element C in B
// in A (exact names, first sibling of a name wins). One language is current;
// lookups of a missing text give the key itself.
//
// Lookups are served from an index of the current Locale's texts, built when
// the Locale is selected, so a lookup costs one hash probe instead of a walk
// over the sibling lists.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "../settings/xml_tree.h"
#include "plat/status.h"
#include "plat/text.h"

namespace vexo {

class StringTable {
 public:
  // Loads a file at a device path (replacing what was loaded).
  plat::Status loadFile(plat::StringView16 devicePath);
  // Loads from bytes; S_OK when a document could be recovered from them.
  plat::Status loadBytes(std::string_view bytes);

  uint32_t localeCount() const { return static_cast<uint32_t>(locales_.size()); }
  int32_t localeAt(uint32_t index) const { return index < locales_.size() ? locales_[index] : 0; }
  int32_t lcid() const { return lcid_; }
  // Re-selects only when the number changes.
  void setLcid(int32_t lcid);

  // S_OK with the text, E_FAIL with the key, E_INVALIDARG (buffer untouched)
  // for a bad key, null buffer or zero capacity.
  plat::Status lookup(const char* key, char16_t* buffer, uint32_t capacity) const;

 private:
  void clear();
  void selectLocale();
  void indexLocale(xmlNode* parent, std::string& prefix, int depth);

  xml::DocPtr doc_;
  int32_t lcid_ = 0;
  xmlNode* locale_ = nullptr;
  std::vector<int32_t> locales_;
  struct KeyHash {
    using is_transparent = void;
    size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
  };
  // Key -> text of the current Locale.
  std::unordered_map<std::string, plat::String16, KeyHash, std::equal_to<>> texts_;
};

// Reads an LCID attribute: optional sign and leading decimal digits; nothing
// when there are no digits or the number does not fit 32 bits.
bool parseLcid(std::string_view text, int32_t* lcid);

}  // namespace vexo
