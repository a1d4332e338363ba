// The in-memory tree of a "Setting.xml": typed values found by slash path below
// the root element "Setting". A path /A/B/C names element C inside B inside A
// inside the root; among siblings of the same name the first one counts. A
// value element carries Type="bool" | "DWORD" | "String" and holds its text
// form as its text; grouping elements carry no Type.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "plat/status.h"
#include "xml_tree.h"

namespace vexo {

enum class SettingType { Bool, Dword, String };

const char* settingTypeName(SettingType type);

class SettingDocument {
 public:
  // A new document (version 1.0) with an empty root "Setting".
  static std::unique_ptr<SettingDocument> createEmpty();
  // Adopts a parsed document whose root element is named "Setting" in any
  // case; null when it has no such root.
  static std::unique_ptr<SettingDocument> adopt(xml::DocPtr doc);

  // Gets: E_FAIL when the element is missing, has another Type (or none), or
  // its text is not a value of that type. A "String" element without text is
  // the empty string. The path must start with '/' (checked by the caller).
  plat::Status getBool(std::string_view path, bool* value) const;
  plat::Status getDword(std::string_view path, uint32_t* value) const;
  plat::Status getString(std::string_view path, std::string* utf8) const;

  // Sets: an existing element must have the same Type (else E_FAIL, nothing
  // changes); missing elements along the path are created at the end of their
  // parent, the new leaf with the Type. A name that is not a valid XML element
  // name, or a value holding characters XML cannot carry, gives E_INVALIDARG
  // before anything changes, so every saved file loads again.
  plat::Status setBool(std::string_view path, bool value);
  plat::Status setDword(std::string_view path, uint32_t value);
  plat::Status setString(std::string_view path, std::string_view utf8);

  // Writes the document, UTF-8 with its XML declaration, to a host file.
  plat::Status saveTo(const std::filesystem::path& hostPath) const;
  // The same bytes, in memory.
  std::string serialize() const;

 private:
  explicit SettingDocument(xml::DocPtr doc);
  // The value element of path with the given type and its text, or a failure.
  plat::Status findValue(std::string_view path, SettingType type, std::string_view* text,
                         xml::XmlString* scratch) const;
  plat::Status setText(std::string_view path, SettingType type, std::string_view utf8);
  xmlNode* find(std::string_view path) const;

  xmlNode* walk(std::string_view path) const;

  xml::DocPtr doc_;
  xmlNode* root_;
  // Elements already found, by path. Elements are never removed and new ones
  // go after their siblings, so a path once found keeps naming the same
  // element for the life of the document.
  struct PathHash {
    using is_transparent = void;
    size_t operator()(std::string_view path) const { return std::hash<std::string_view>{}(path); }
  };
  // Guarded so that gets from two threads at once stay as safe as the
  // read-only tree walk they replace.
  mutable std::mutex foundMutex_;
  mutable std::unordered_map<std::string, xmlNode*, PathHash, std::equal_to<>> found_;
};

// True when every character of the UTF-8 text may appear in an XML 1.0 text
// node (and the bytes are valid UTF-8).
bool isXmlText(std::string_view utf8);

}  // namespace vexo
