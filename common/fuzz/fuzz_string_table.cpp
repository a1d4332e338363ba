// Feeds bytes to the string table as a loaded "String.xml", selects every
// language it lists and looks up every key found in its tree. Each answer is
// compared with a plain walk of the document: first sibling of each name, and
// only an element without child elements has a text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "strings/string_table.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void collectKeys(xmlNode* parent, const std::string& prefix, int depth, std::vector<std::string>* out) {
  if (depth > 8) return;
  for (xmlNode* child = parent->children; child != nullptr && out->size() < 128; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || child->name == nullptr) continue;
    std::string key = prefix + "/" + reinterpret_cast<const char*>(child->name);
    out->push_back(key);
    collectKeys(child, key, depth + 1, out);
  }
}

// The text of key below locale by walking the tree, or false.
bool walk(xmlNode* locale, std::string_view key, std::string* text) {
  xmlNode* current = locale;
  size_t start = 1;
  while (true) {
    size_t slash = key.find('/', start);
    std::string_view segment = key.substr(start, slash == std::string_view::npos ? slash : slash - start);
    if (segment.empty()) return false;
    current = vexo::xml::firstChildNamed(current, segment);
    if (current == nullptr) return false;
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  if (current->children == nullptr || !vexo::xml::isTextNode(current->children)) return false;
  for (xmlNode* c = current->children; c != nullptr; c = c->next)
    if (c->type == XML_ELEMENT_NODE) return false;
  *text = std::string(vexo::xml::contentOf(current->children));
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vexo::StringTable table;
  if (plat::failed(table.loadBytes(bytes))) {
    check(table.localeCount() == 0);
    return 0;
  }
  // A second parse of the same bytes is the reference.
  vexo::xml::Parsed parsed = vexo::xml::parseMemory(bytes, "noname.xml");
  xmlNode* root = parsed.doc ? xmlDocGetRootElement(parsed.doc.get()) : nullptr;
  check(root != nullptr);

  std::vector<xmlNode*> locales;
  for (xmlNode* child = root->children; child != nullptr; child = child->next) {
    int32_t lcid = 0;
    std::string_view text;
    vexo::xml::XmlString scratch;
    if (vexo::xml::elementNamedNoCase(child, "Locale") && vexo::xml::attributeText(child, "LCID", &text, &scratch) &&
        vexo::parseLcid(text, &lcid))
      locales.push_back(child);
  }
  if (!vexo::xml::elementNamedNoCase(root, "String")) locales.clear();
  check(table.localeCount() == locales.size());
  check(table.localeAt(table.localeCount()) == 0);

  char16_t buffer[260];
  for (uint32_t i = 0; i < table.localeCount() && i < 8; ++i) {
    table.setLcid(table.localeAt(i));
    // The first Locale of that number is the one selected.
    xmlNode* selected = nullptr;
    for (uint32_t j = 0; j < locales.size(); ++j) {
      if (table.localeAt(j) == table.localeAt(i)) {
        selected = locales[j];
        break;
      }
    }
    check(selected != nullptr);
    std::vector<std::string> keys;
    collectKeys(selected, "", 0, &keys);
    keys.push_back("/");
    keys.push_back("/missing/key");
    for (const std::string& key : keys) {
      std::string expected;
      bool found = walk(selected, key, &expected);
      plat::Status st = table.lookup(key.c_str(), buffer, 260);
      check(plat::succeeded(st) == found);
      std::u16string want = found ? plat::utf8ToUtf16(expected) : plat::utf8ToUtf16(key);
      if (want.size() > 259) want.resize(259);
      std::u16string got(buffer);
      // A surrogate pair is never split at the end of the buffer.
      check(got == want || (got.size() + 1 == want.size() && want.compare(0, got.size(), got) == 0));
    }
  }
  return 0;
}
