#include "setting_document.h"

#include <libxml/xmlsave.h>

#include <cstdio>
#include <vector>

namespace vexo {
namespace {

constexpr char kRootName[] = "Setting";
constexpr char kTypeAttribute[] = "Type";
// A segment that names an element to be created is at most this long.
constexpr size_t kMaxSegmentBytes = 259;
// Bound on the path cache (the system uses about sixty paths).
constexpr size_t kMaxRememberedPaths = 4096;

const xmlChar* xc(const char* s) { return reinterpret_cast<const xmlChar*>(s); }

// Splits "/A/B/C" into its segments without copying; false for an empty
// segment (a doubled or trailing '/'), which names nothing.
bool splitPath(std::string_view path, std::vector<std::string_view>* segments) {
  segments->clear();
  if (path.empty() || path.front() != '/') return false;
  size_t start = 1;
  while (true) {
    size_t slash = path.find('/', start);
    std::string_view segment = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
    if (segment.empty()) return false;
    segments->push_back(segment);
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

bool typeIs(const xmlNode* node, SettingType type) {
  std::string_view value;
  xml::XmlString scratch;
  return xml::attributeText(node, kTypeAttribute, &value, &scratch) && value == settingTypeName(type);
}

bool hasType(const xmlNode* node) {
  std::string_view value;
  xml::XmlString scratch;
  return xml::attributeText(node, kTypeAttribute, &value, &scratch);
}

xmlNode* firstTextChild(xmlNode* node) {
  for (xmlNode* child = node->children; child != nullptr; child = child->next)
    if (xml::isTextNode(child)) return child;
  return nullptr;
}

// Unsigned decimal as the file writes it; surrounding white space is
// tolerated (hand-edited files), signs, other characters and values above
// 32 bits are not.
bool parseDword(std::string_view text, uint32_t* value) {
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  if (text.empty()) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > 0xFFFFFFFFull) return false;
  }
  *value = static_cast<uint32_t>(v);
  return true;
}

// Decodes one UTF-8 sequence; false for an invalid one.
bool nextCodePoint(std::string_view s, size_t* i, uint32_t* cp) {
  unsigned char c = static_cast<unsigned char>(s[*i]);
  int extra;
  uint32_t v, min;
  if (c < 0x80) {
    *cp = c;
    ++*i;
    return true;
  } else if ((c & 0xE0) == 0xC0) {
    extra = 1, v = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2, v = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3, v = c & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (*i + static_cast<size_t>(extra) >= s.size()) return false;
  for (int k = 1; k <= extra; ++k) {
    unsigned char d = static_cast<unsigned char>(s[*i + k]);
    if ((d & 0xC0) != 0x80) return false;
    v = (v << 6) | (d & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
  *cp = v;
  *i += static_cast<size_t>(extra) + 1;
  return true;
}

}  // namespace

const char* settingTypeName(SettingType type) {
  switch (type) {
    case SettingType::Bool: return "bool";
    case SettingType::Dword: return "DWORD";
    case SettingType::String: return "String";
  }
  return "";
}

bool isXmlText(std::string_view utf8) {
  size_t i = 0;
  while (i < utf8.size()) {
    uint32_t cp;
    if (!nextCodePoint(utf8, &i, &cp)) return false;
    bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                   (cp >= 0xE000 && cp <= 0xFFFD) || cp >= 0x10000;
    if (!allowed) return false;
  }
  return true;
}

SettingDocument::SettingDocument(xml::DocPtr doc) : doc_(std::move(doc)), root_(xmlDocGetRootElement(doc_.get())) {}

std::unique_ptr<SettingDocument> SettingDocument::createEmpty() {
  xml::initParser();
  xml::DocPtr doc(xmlNewDoc(xc("1.0")));
  if (!doc) return nullptr;
  xmlNode* root = xmlNewDocNode(doc.get(), nullptr, xc(kRootName), nullptr);
  if (root == nullptr) return nullptr;
  xmlDocSetRootElement(doc.get(), root);
  return std::unique_ptr<SettingDocument>(new (std::nothrow) SettingDocument(std::move(doc)));
}

std::unique_ptr<SettingDocument> SettingDocument::adopt(xml::DocPtr doc) {
  if (!doc) return nullptr;
  xmlNode* root = xmlDocGetRootElement(doc.get());
  if (root == nullptr || !xml::elementNamedNoCase(root, kRootName)) return nullptr;
  return std::unique_ptr<SettingDocument>(new (std::nothrow) SettingDocument(std::move(doc)));
}

xmlNode* SettingDocument::find(std::string_view path) const {
  std::lock_guard lock(foundMutex_);
  auto it = found_.find(path);
  if (it != found_.end()) return it->second;
  xmlNode* node = walk(path);
  if (node != nullptr && found_.size() < kMaxRememberedPaths) found_.emplace(path, node);
  return node;
}

xmlNode* SettingDocument::walk(std::string_view path) const {
  if (root_ == nullptr || path.empty() || path.front() != '/') return nullptr;
  xmlNode* current = root_;
  size_t start = 1;
  while (true) {
    size_t slash = path.find('/', start);
    std::string_view segment = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
    if (segment.empty()) return nullptr;
    current = xml::firstChildNamed(current, segment);
    if (current == nullptr || slash == std::string_view::npos) return current;
    start = slash + 1;
  }
}

plat::Status SettingDocument::findValue(std::string_view path, SettingType type, std::string_view* text,
                                        xml::XmlString* scratch) const {
  xmlNode* node = find(path);
  if (node == nullptr || !typeIs(node, type)) return plat::E_FAIL;
  xmlNode* textNode = firstTextChild(node);
  if (textNode == nullptr) {
    // An empty string is saved as an element without text.
    if (type != SettingType::String) return plat::E_FAIL;
    *text = std::string_view();
    return plat::S_OK;
  }
  if (textNode->next != nullptr && xml::isTextNode(textNode->next)) {
    // Adjacent text and CDATA parts form one value.
    xmlChar* joined = nullptr;
    for (xmlNode* part = textNode; part != nullptr && xml::isTextNode(part); part = part->next)
      joined = xmlStrcat(joined, part->content ? part->content : xc(""));
    scratch->reset(joined);
    *text = joined ? std::string_view(reinterpret_cast<const char*>(joined)) : std::string_view();
    return plat::S_OK;
  }
  *text = xml::contentOf(textNode);
  return plat::S_OK;
}

plat::Status SettingDocument::getBool(std::string_view path, bool* value) const {
  std::string_view text;
  xml::XmlString scratch;
  plat::Status st = findValue(path, SettingType::Bool, &text, &scratch);
  if (plat::failed(st)) return st;
  if (text == "true") *value = true;
  else if (text == "false") *value = false;
  else return plat::E_FAIL;
  return plat::S_OK;
}

plat::Status SettingDocument::getDword(std::string_view path, uint32_t* value) const {
  std::string_view text;
  xml::XmlString scratch;
  plat::Status st = findValue(path, SettingType::Dword, &text, &scratch);
  if (plat::failed(st)) return st;
  return parseDword(text, value) ? plat::S_OK : plat::E_FAIL;
}

plat::Status SettingDocument::getString(std::string_view path, std::string* utf8) const {
  std::string_view text;
  xml::XmlString scratch;
  plat::Status st = findValue(path, SettingType::String, &text, &scratch);
  if (plat::failed(st)) return st;
  utf8->assign(text);
  return plat::S_OK;
}

plat::Status SettingDocument::setBool(std::string_view path, bool value) {
  return setText(path, SettingType::Bool, value ? "true" : "false");
}

plat::Status SettingDocument::setDword(std::string_view path, uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", value);
  return setText(path, SettingType::Dword, text);
}

plat::Status SettingDocument::setString(std::string_view path, std::string_view utf8) {
  return setText(path, SettingType::String, utf8);
}

plat::Status SettingDocument::setText(std::string_view path, SettingType type, std::string_view utf8) {
  if (root_ == nullptr) return plat::E_FAIL;
  std::vector<std::string_view> segments;
  if (!splitPath(path, &segments)) return plat::E_FAIL;
  if (!isXmlText(utf8)) return plat::E_INVALIDARG;
  std::string value(utf8);

  xmlNode* node = find(path);
  if (node != nullptr) {
    if (!typeIs(node, type)) return plat::E_FAIL;
  } else {
    // Check the whole path before creating anything, so a failure leaves no
    // half-made groups behind.
    xmlNode* walk = root_;
    size_t existing = 0;
    for (std::string_view segment : segments) {
      xmlNode* child = xml::firstChildNamed(walk, segment);
      if (child == nullptr) break;
      if (hasType(child)) return plat::E_FAIL;  // a value element cannot hold a group
      walk = child;
      ++existing;
    }
    for (size_t i = existing; i < segments.size(); ++i) {
      std::string name(segments[i]);
      if (name.size() > kMaxSegmentBytes || !isXmlText(name) || xmlValidateName(xc(name.c_str()), 0) != 0)
        return plat::E_INVALIDARG;
    }
    for (size_t i = existing; i < segments.size(); ++i) {
      std::string name(segments[i]);
      xmlNode* child = xmlNewDocNode(doc_.get(), nullptr, xc(name.c_str()), nullptr);
      if (child == nullptr) return plat::E_OUTOFMEMORY;
      xmlAddChild(walk, child);
      walk = child;
    }
    if (xmlSetProp(walk, xc(kTypeAttribute), xc(settingTypeName(type))) == nullptr) return plat::E_OUTOFMEMORY;
    node = walk;
  }

  // The value is the element's first text node. Other text parts would
  // become the value once this one is emptied, so they go; the text node's
  // own setter stores the value literally ('&' and '<' stay characters and are
  // escaped when saved).
  xmlNode* textNode = firstTextChild(node);
  if (textNode != nullptr) {
    xmlNode* child = textNode->next;
    while (child != nullptr) {
      xmlNode* next = child->next;
      if (xml::isTextNode(child)) {
        xmlUnlinkNode(child);
        xmlFreeNode(child);
      }
      child = next;
    }
    if (value.empty()) {
      xmlUnlinkNode(textNode);
      xmlFreeNode(textNode);
    } else {
      xmlNodeSetContent(textNode, xc(value.c_str()));
    }
  } else if (!value.empty()) {
    textNode = xmlNewDocText(doc_.get(), xc(value.c_str()));
    if (textNode == nullptr) return plat::E_OUTOFMEMORY;
    if (node->children != nullptr) xmlAddPrevSibling(node->children, textNode);
    else xmlAddChild(node, textNode);
  }
  return plat::S_OK;
}

plat::Status SettingDocument::saveTo(const std::filesystem::path& hostPath) const {
  return xmlSaveFileEnc(hostPath.c_str(), doc_.get(), "UTF-8") < 0 ? plat::E_FAIL : plat::S_OK;
}

std::string SettingDocument::serialize() const {
  xmlChar* bytes = nullptr;
  int size = 0;
  xmlDocDumpMemoryEnc(doc_.get(), &bytes, &size, "UTF-8");
  std::string out;
  if (bytes != nullptr) {
    out.assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
    xmlFree(bytes);
  }
  return out;
}

}  // namespace vexo
