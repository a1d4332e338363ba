#include "skin_document.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include "plat/paths.h"

namespace tunora::skin {
namespace {

const char* name(const xmlNode* n) { return reinterpret_cast<const char*>(n->name); }

const char* attribute(const xmlNode* n, const char* attr) {
  for (const xmlAttr* a = n->properties; a; a = a->next) {
    if (std::strcmp(reinterpret_cast<const char*>(a->name), attr) != 0) continue;
    // Attribute values are a single text child in a parsed tree.
    const xmlNode* text = a->children;
    if (!text) return "";
    if (text->type == XML_TEXT_NODE && !text->next && text->content)
      return reinterpret_cast<const char*>(text->content);
    return "";
  }
  return nullptr;
}

bool matches(const char* have, std::string_view want, bool exactCase) {
  if (!have) return false;
  return exactCase ? std::string_view(have) == want : plat::equalsNoCase(have, want);
}

xmlNode* nextElement(xmlNode* n) {
  while (n && n->type != XML_ELEMENT_NODE) n = n->next;
  return n;
}

std::optional<std::string> readBounded(const std::filesystem::path& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxDocumentBytes) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(size, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  if (static_cast<uint64_t>(in.gcount()) != size) return std::nullopt;
  return bytes;
}

// The parser needs no global set-up beyond this, done once per process.
void initParser() {
  static const bool once = [] {
    xmlInitParser();
    return true;
  }();
  (void)once;
}

}  // namespace

SkinDocument::SkinDocument() = default;
SkinDocument::~SkinDocument() { close(); }

void SkinDocument::close() {
  if (doc_) xmlFreeDoc(doc_);
  doc_ = nullptr;
  firstWindow_ = current_ = firstPicture_ = nullptr;
  index_ = SectionIndex{};
  fonts_.clear();
}

bool SkinDocument::adopt(xmlDoc* doc) {
  xmlNode* root = doc ? xmlDocGetRootElement(doc) : nullptr;
  if (!root) {
    if (doc) xmlFreeDoc(doc);
    return false;
  }
  doc_ = doc;
  xmlNode* pictures = nullptr;
  for (xmlNode* n = nextElement(root->children); n; n = nextElement(n->next)) {
    if (!pictures && plat::equalsNoCase(name(n), "picture")) {
      pictures = n;
      continue;
    }
    if (!firstWindow_ && plat::equalsNoCase(name(n), "Window")) firstWindow_ = n;
  }
  firstPicture_ = pictures ? nextElement(pictures->children) : nullptr;
  return true;
}

bool SkinDocument::openMemory(std::string_view xml, plat::StringView16 directory) {
  close();
  initParser();
  directory_.assign(directory.substr(0, kMaxPathChars));
  fileName_.clear();
  if (xml.size() > kMaxDocumentBytes) return false;
  xmlDoc* doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                              XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR |
                                  XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS);
  return adopt(doc);
}

bool SkinDocument::open(plat::StringView16 directory, plat::StringView16 fileName) {
  close();
  if (directory.size() + fileName.size() > kMaxPathChars || fileName.empty()) return false;
  const auto host = plat::toHostPath(plat::String16(directory) + plat::String16(fileName));
  if (!host) return false;
  const auto bytes = readBounded(*host);
  if (!bytes) return false;
  const plat::String16 dir(directory), file(fileName);
  if (!openMemory(*bytes, dir)) return false;
  fileName_ = file;
  return true;
}

xmlNode* SkinDocument::findSection(std::string_view section, bool exactCase) {
  if (!doc_ || section.empty()) return nullptr;
  if (current_ && matches(attribute(current_, "name"), section, exactCase)) return current_;
  for (xmlNode* n = firstWindow_; n; n = nextElement(n->next)) {
    // The search itself ignores case even for exact look-ups.
    if (matches(attribute(n, "name"), section, false)) {
      current_ = n;
      return n;
    }
  }
  return nullptr;
}

const SkinDocument::SectionIndex& SkinDocument::indexOf(xmlNode* section) {
  if (index_.section == section) return index_;
  index_ = SectionIndex{};
  index_.section = section;
  for (xmlNode* item = nextElement(section->children); item; item = nextElement(item->next)) {
    const char* key = attribute(item, "name");
    const char* value = attribute(item, "value");
    if (!key || !value) continue;  // an item without a value never answers
    index_.exact.emplace(key, value);           // emplace keeps the first
    index_.folded.emplace(plat::toLowerAscii(key), value);
  }
  return index_;
}

const char* SkinDocument::findValue(std::string_view section, std::string_view key, bool exactCase) {
  if (key.empty()) return nullptr;
  xmlNode* s = findSection(section, exactCase);
  if (!s) return nullptr;
  const SectionIndex& index = indexOf(s);
  const auto& map = exactCase ? index.exact : index.folded;
  thread_local std::string probe;
  if (exactCase) probe.assign(key);
  else probe = plat::toLowerAscii(key);
  const auto it = map.find(probe);
  return it == map.end() ? nullptr : it->second;
}

std::optional<std::string> SkinDocument::getString(std::string_view section, std::string_view key) {
  const char* v = findValue(section, key, false);
  if (!v) return std::nullopt;
  return std::string(v);
}

std::optional<int32_t> SkinDocument::getNumber(std::string_view section, std::string_view key) {
  const char* v = findValue(section, key, true);
  if (!v) return std::nullopt;
  return parseNumber(v);
}

std::optional<int32_t> SkinDocument::getNumberNoCase(std::string_view section, std::string_view key) {
  const char* v = findValue(section, key, false);
  if (!v) return std::nullopt;
  return parseNumber(v);
}

std::optional<plat::Rect> SkinDocument::getRect(std::string_view section, std::string_view key) {
  const char* v = findValue(section, key, false);
  if (!v) return std::nullopt;
  return parseRect(v);
}

std::optional<Rgb> SkinDocument::getColor(std::string_view section, std::string_view key) {
  const char* v = findValue(section, key, false);
  if (!v) return std::nullopt;
  return parseColor(v);
}

std::optional<std::string> SkinDocument::pictureValue(int32_t id) const {
  for (xmlNode* n = firstPicture_; n; n = nextElement(n->next)) {
    const char* idText = attribute(n, "id");
    if (!idText || parseNumber(idText) != id) continue;
    const char* value = attribute(n, "value");
    if (!value || !*value) return std::nullopt;
    return std::string(value);
  }
  return std::nullopt;
}

std::optional<plat::String16> SkinDocument::getPicturePath(std::string_view section,
                                                           std::string_view key) {
  const auto id = getNumberNoCase(section, key);
  if (!id) return std::nullopt;
  const auto relative = pictureValue(*id);
  if (!relative) return std::nullopt;
  plat::String16 path = directory_ + plat::utf8ToUtf16(*relative);
  if (path.size() > kMaxPathChars) return std::nullopt;
  return path;
}

plat::FontPtr SkinDocument::getFont(std::string_view section, std::string_view key) {
  const char* v = findValue(section, key, false);
  if (!v) return nullptr;
  const auto value = parseFont(v);
  if (!value) return nullptr;
  for (const FontRecord& r : fonts_)
    if (r.value == *value) return r.font;
  plat::FontSpec spec;
  spec.face = plat::utf8ToUtf16(value->face).substr(0, plat::kMaxFaceNameLength);
  spec.height = value->height;
  spec.weight = value->weight;
  spec.charset = value->charset;
  spec.antialias = true;
  plat::FontPtr font = plat::createFont(spec);
  if (font) fonts_.push_back(FontRecord{*value, font});
  return font;
}

std::vector<std::string> SkinDocument::sectionNames() const {
  std::vector<std::string> names;
  for (xmlNode* n = firstWindow_; n; n = nextElement(n->next))
    if (const char* a = attribute(n, "name")) names.emplace_back(a);
  return names;
}

std::vector<std::pair<std::string, std::string>> SkinDocument::items(std::string_view section) {
  std::vector<std::pair<std::string, std::string>> out;
  xmlNode* s = findSection(section, false);
  if (!s) return out;
  for (xmlNode* item = nextElement(s->children); item; item = nextElement(item->next)) {
    const char* k = attribute(item, "name");
    const char* v = attribute(item, "value");
    if (k && v) out.emplace_back(k, v);
  }
  return out;
}

}  // namespace tunora::skin
