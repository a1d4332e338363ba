#include "string_table.h"

#include <cstring>
#include <unordered_set>

#include "plat/file.h"

namespace vexo {
namespace {

constexpr char kRootName[] = "String";
constexpr char kLocaleName[] = "Locale";
constexpr char kLcidAttribute[] = "LCID";
// Deeper trees are not key trees; the parser itself stops far below this.
constexpr int kMaxKeyDepth = 256;

bool localeLcid(const xmlNode* node, int32_t* lcid) {
  std::string_view text;
  xml::XmlString scratch;
  return xml::elementNamedNoCase(node, kLocaleName) && xml::attributeText(node, kLcidAttribute, &text, &scratch) &&
         parseLcid(text, lcid);
}

bool hasElementChild(const xmlNode* node) {
  for (const xmlNode* child = node->children; child != nullptr; child = child->next)
    if (xml::isElement(child)) return true;
  return false;
}

}  // namespace

bool parseLcid(std::string_view text, int32_t* lcid) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  size_t digits = 0;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{1} << 31) return false;
  }
  if (digits == 0) return false;
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return false;
  *lcid = static_cast<int32_t>(value);
  return true;
}

void StringTable::clear() {
  texts_.clear();
  locale_ = nullptr;
  locales_.clear();
  doc_.reset();
}

plat::Status StringTable::loadFile(plat::StringView16 devicePath) {
  clear();
  std::string bytes;
  if (plat::failed(plat::readWholeFile(devicePath, &bytes, xml::kMaxFileBytes))) return plat::E_FAIL;
  return loadBytes(bytes);
}

plat::Status StringTable::loadBytes(std::string_view bytes) {
  clear();
  xml::Parsed parsed = xml::parseMemory(bytes, "noname.xml");
  // Recovery turns any bytes into some document; one without a root element
  // holds nothing.
  if (!parsed.doc || xmlDocGetRootElement(parsed.doc.get()) == nullptr) return plat::E_FAIL;
  doc_ = std::move(parsed.doc);
  xmlNode* root = xmlDocGetRootElement(doc_.get());
  if (root != nullptr && xml::elementNamedNoCase(root, kRootName)) {
    for (xmlNode* child = root->children; child != nullptr; child = child->next) {
      int32_t lcid = 0;
      if (localeLcid(child, &lcid)) locales_.push_back(lcid);
    }
  }
  selectLocale();
  return plat::S_OK;
}

void StringTable::setLcid(int32_t lcid) {
  if (lcid == lcid_) return;
  lcid_ = lcid;
  selectLocale();
}

void StringTable::selectLocale() {
  texts_.clear();
  locale_ = nullptr;
  xmlNode* root = doc_ ? xmlDocGetRootElement(doc_.get()) : nullptr;
  if (root == nullptr || !xml::elementNamedNoCase(root, kRootName)) return;
  for (xmlNode* child = root->children; child != nullptr; child = child->next) {
    int32_t lcid = 0;
    if (localeLcid(child, &lcid) && lcid == lcid_) {
      locale_ = child;
      break;
    }
  }
  if (locale_ == nullptr) return;
  std::string prefix;
  indexLocale(locale_, prefix, 0);
}

void StringTable::indexLocale(xmlNode* parent, std::string& prefix, int depth) {
  if (depth >= kMaxKeyDepth) return;
  // Only the first sibling of each name is reachable by a key.
  std::unordered_set<std::string_view> seen;
  for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (!xml::isElement(child) || child->name == nullptr) continue;
    std::string_view name = xml::nameOf(child);
    if (name.empty() || name.find('/') != std::string_view::npos || !seen.insert(name).second) continue;
    size_t mark = prefix.size();
    prefix += '/';
    prefix += name;
    // A group (an element holding elements) has no text of its own, even
    // when indentation puts white space before its first element.
    if (child->children != nullptr && xml::isTextNode(child->children) && !hasElementChild(child))
      texts_.emplace(prefix, plat::utf8ToUtf16(xml::contentOf(child->children)));
    indexLocale(child, prefix, depth + 1);
    prefix.resize(mark);
  }
}

plat::Status StringTable::lookup(const char* key, char16_t* buffer, uint32_t capacity) const {
  if (key == nullptr || key[0] != '/' || buffer == nullptr || capacity == 0) return plat::E_INVALIDARG;
  std::string_view k(key);
  auto it = texts_.find(k);
  if (it != texts_.end()) {
    plat::copyBounded(buffer, capacity, it->second);
    return plat::S_OK;
  }
  plat::copyBounded(buffer, capacity, plat::utf8ToUtf16(k));
  return plat::E_FAIL;
}

}  // namespace vexo
