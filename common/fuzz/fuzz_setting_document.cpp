// Feeds bytes to the settings document the way the store loads a file, then
// reads every element as each type, writes values taken from the input, saves
// to memory and loads the result again. A document the store accepts must
// come back well-formed with the values written.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "settings/setting_document.h"

namespace {

void collectPaths(xmlNode* parent, const std::string& prefix, int depth, std::vector<std::string>* out) {
  if (depth > 8) return;
  for (xmlNode* child = parent->children; child != nullptr && out->size() < 64; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || child->name == nullptr) continue;
    std::string path = prefix + "/" + reinterpret_cast<const char*>(child->name);
    out->push_back(path);
    collectPaths(child, path, depth + 1, out);
  }
}

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vexo::xml::Parsed parsed = vexo::xml::parseMemory(bytes, "setting.xml");
  std::vector<std::string> paths;
  if (parsed.doc) {
    if (xmlNode* root = xmlDocGetRootElement(parsed.doc.get())) collectPaths(root, "", 0, &paths);
  }
  bool accepted = parsed.wellFormed;
  std::unique_ptr<vexo::SettingDocument> doc = accepted ? vexo::SettingDocument::adopt(std::move(parsed.doc)) : nullptr;
  if (!doc) {
    accepted = false;
    doc = vexo::SettingDocument::createEmpty();
    if (!doc) return 0;
  }

  paths.push_back("/Setting/Scan/LiveInSourceName");
  paths.push_back("/Setting/Volume");
  for (const std::string& path : paths) {
    bool b;
    uint32_t d;
    std::string s;
    (void)doc->getBool(path, &b);
    (void)doc->getDword(path, &d);
    (void)doc->getString(path, &s);
  }

  // Values from the tail of the input, written to every path as each type.
  std::string text(bytes.substr(size / 2, 64));
  uint32_t number = size >= 4 ? static_cast<uint32_t>(data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24) : 0;
  struct Written {
    std::string path;
    int type;
  };
  std::vector<Written> written;
  for (const std::string& path : paths) {
    if (plat::succeeded(doc->setString(path, text))) written.push_back({path, 0});
    else if (plat::succeeded(doc->setDword(path, number))) written.push_back({path, 1});
    else if (plat::succeeded(doc->setBool(path, (number & 1) != 0))) written.push_back({path, 2});
  }

  std::string saved = doc->serialize();
  vexo::xml::Parsed again = vexo::xml::parseMemory(saved, "setting.xml");
  // A newly made document, or one that loaded cleanly, saves to a file that
  // loads cleanly with what was written.
  check(again.wellFormed);
  std::unique_ptr<vexo::SettingDocument> reloaded = vexo::SettingDocument::adopt(std::move(again.doc));
  check(reloaded != nullptr);
  for (const Written& w : written) {
    if (w.type == 0) {
      std::string s;
      check(plat::succeeded(reloaded->getString(w.path, &s)) && s == text);
    } else if (w.type == 1) {
      uint32_t d = 0;
      check(plat::succeeded(reloaded->getDword(w.path, &d)) && d == number);
    } else {
      bool b = false;
      check(plat::succeeded(reloaded->getBool(w.path, &b)) && b == ((number & 1) != 0));
    }
  }
  (void)accepted;
  return 0;
}
