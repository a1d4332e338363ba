// One skin document: an XML file of named window sections holding
// name/value items, plus a table of numbered pictures. Windows read their
// geometry, images, fonts, colours and switches from it by section and key.
//
// Look-up rules: sections are found by their "name" attribute without regard
// to letter case, starting at the first "Window" element; the section found
// last is remembered so consecutive look-ups skip the search. Within a
// section the first item whose "name" equals the key and that has a "value"
// wins. Keys compare without regard to case, except in getNumber, which
// compares section and key exactly.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "plat/gfx/font.h"
#include "plat/geometry.h"
#include "plat/text.h"
#include "skin_values.h"

using xmlDoc = struct _xmlDoc;
using xmlNode = struct _xmlNode;

namespace tunora::skin {

// Documents larger than this are refused before parsing.
inline constexpr uint64_t kMaxDocumentBytes = uint64_t{8} << 20;
// Device paths and names are kept to the system's buffer size.
inline constexpr size_t kMaxPathChars = 259;

class SkinDocument {
 public:
  SkinDocument();
  ~SkinDocument();
  SkinDocument(const SkinDocument&) = delete;
  SkinDocument& operator=(const SkinDocument&) = delete;

  // Opens directory + fileName (a device directory ending with '\'); the
  // file name is matched without regard to letter case. False when the file
  // is missing, too large, does not parse or has no root element; the
  // document is then empty (every look-up is not-found).
  bool open(plat::StringView16 directory, plat::StringView16 fileName);
  // The same from memory (tests, fuzzing); `directory` prefixes picture paths.
  bool openMemory(std::string_view xml, plat::StringView16 directory);
  void close();
  bool loaded() const { return doc_ != nullptr; }

  const plat::String16& directory() const { return directory_; }
  const plat::String16& fileName() const { return fileName_; }

  std::optional<std::string> getString(std::string_view section, std::string_view key);
  // Exact-case section and key.
  std::optional<int32_t> getNumber(std::string_view section, std::string_view key);
  std::optional<int32_t> getNumberNoCase(std::string_view section, std::string_view key);
  std::optional<plat::Rect> getRect(std::string_view section, std::string_view key);
  std::optional<Rgb> getColor(std::string_view section, std::string_view key);
  // The document directory + the path of the picture whose id the item
  // names; nullopt when the item, the picture entry or its path is missing.
  std::optional<plat::String16> getPicturePath(std::string_view section, std::string_view key);
  // A font made from the item's font value; created once per distinct
  // (face, height, weight, character set) and kept with the document.
  plat::FontPtr getFont(std::string_view section, std::string_view key);
  size_t cachedFontCount() const { return fonts_.size(); }

  // Number of sections (for tools that list a document).
  std::vector<std::string> sectionNames() const;
  // Every (key, value) of a section in document order.
  std::vector<std::pair<std::string, std::string>> items(std::string_view section);

 private:
  bool adopt(xmlDoc* doc);
  xmlNode* findSection(std::string_view section, bool exactCase);
  const char* findValue(std::string_view section, std::string_view key, bool exactCase);
  std::optional<std::string> pictureValue(int32_t id) const;

  struct FontRecord {
    FontValue value;
    plat::FontPtr font;
  };
  // Items of the current section by key, built on first use: the first item
  // with a value for each key, once by exact key and once by lower-case key.
  struct SectionIndex {
    xmlNode* section = nullptr;
    std::unordered_map<std::string, const char*> exact;
    std::unordered_map<std::string, const char*> folded;
  };
  const SectionIndex& indexOf(xmlNode* section);

  SectionIndex index_;
  xmlDoc* doc_ = nullptr;
  xmlNode* firstWindow_ = nullptr;
  xmlNode* current_ = nullptr;
  xmlNode* firstPicture_ = nullptr;
  plat::String16 directory_;
  plat::String16 fileName_;
  std::vector<FontRecord> fonts_;
};

}  // namespace tunora::skin
