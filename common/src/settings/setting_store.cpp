#include "setting_store.h"

#include <cstring>
#include <new>

#include "plat/debug.h"
#include "plat/file.h"
#include "plat/paths.h"

namespace vexo {
namespace {

constexpr char16_t kFallbackFlashPath[] = u"\\NAND\\ISDBT\\";
constexpr char kFlashPathElement[] = "ResidentFlashPath";

bool validPath(const char* path) { return path != nullptr && path[0] == '/'; }

}  // namespace

SettingStore::SettingStore(uint32_t kind, uint32_t rootSelector, std::string company, std::string product)
    : kind_(kind), rootSelector_(rootSelector), company_(std::move(company)), product_(std::move(product)) {}

Status SettingStore::GetBool(const char* path, uint8_t* value) {
  if (!validPath(path) || value == nullptr) return plat::E_INVALIDARG;
  bool v = false;
  Status st = readBool(path, &v);
  if (plat::succeeded(st)) *value = v ? 1 : 0;
  return st;
}

Status SettingStore::SetBool(const char* path, int32_t flag) {
  if (!validPath(path)) return plat::E_INVALIDARG;
  return writeBool(path, flag != 0);
}

Status SettingStore::GetDWORD(const char* path, uint32_t* value) {
  if (!validPath(path) || value == nullptr) return plat::E_INVALIDARG;
  uint32_t v = 0;
  Status st = readDword(path, &v);
  if (plat::succeeded(st)) *value = v;
  return st;
}

Status SettingStore::SetDWORD(const char* path, uint32_t value) {
  if (!validPath(path)) return plat::E_INVALIDARG;
  return writeDword(path, value);
}

Status SettingStore::GetString(const char* path, char16_t* buffer, uint32_t capacity) {
  if (!validPath(path) || buffer == nullptr || capacity == 0) return plat::E_INVALIDARG;
  plat::String16 text;
  Status st = readString(path, &text);
  if (plat::failed(st)) return st;
  if (text.size() >= capacity) {
    buffer[0] = u'\0';
    return plat::E_FAIL;
  }
  std::memcpy(buffer, text.data(), text.size() * sizeof(char16_t));
  buffer[text.size()] = u'\0';
  return plat::S_OK;
}

Status SettingStore::SetString(const char* path, const char16_t* text) {
  if (!validPath(path) || text == nullptr) return plat::E_INVALIDARG;
  return writeString(path, plat::StringView16(text));
}

bool isStoreName(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || name.size() >= plat::kMaxPath) return false;
  for (char c : name)
    if (c == '\\' || c == '/' || static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

plat::String16 residentFlashPath() {
  std::string bytes;
  plat::String16 seed = plat::programDirectory() + u"Setting.xml";
  // Read only: the program directory need not be writable.
  if (plat::failed(plat::readWholeFile(seed, &bytes, xml::kMaxFileBytes)) || bytes.empty())
    return kFallbackFlashPath;
  xml::Parsed parsed = xml::parseMemory(bytes, "setting.xml");
  xmlNode* root = parsed.doc ? xmlDocGetRootElement(parsed.doc.get()) : nullptr;
  if (root == nullptr || !xml::elementNamedNoCase(root, "Setting")) return kFallbackFlashPath;
  xmlNode* element = xml::firstChildNamed(root, kFlashPathElement);
  if (element == nullptr || element->children == nullptr || !xml::isTextNode(element->children))
    return kFallbackFlashPath;
  plat::String16 path = plat::utf8ToUtf16(xml::contentOf(element->children));
  if (path.empty() || path.size() >= plat::kMaxPath) {
    plat::debugOut("UI: ResidentFlashPath in the program folder's Setting.xml is empty or too long; using \\NAND\\ISDBT\\");
    return kFallbackFlashPath;
  }
  return path;
}

}  // namespace vexo

extern "C" Status CoCreateVexoCmnSetting(uint32_t kind, uint32_t rootSelector, const char* company,
                                         const char* product, IVexoCmnSetting** out) {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  if ((kind != vexo::kSettingKindFile && kind != vexo::kSettingKindRegistry) || company == nullptr ||
      product == nullptr || !vexo::isStoreName(company) || !vexo::isStoreName(product))
    return plat::E_INVALIDARG;
  vexo::SettingStore* store = nullptr;
  try {
    store = kind == vexo::kSettingKindFile ? vexo::createFileStore(rootSelector, company, product)
                                           : vexo::createRegistryStore(rootSelector, company, product);
  } catch (const std::bad_alloc&) {
    store = nullptr;
  }
  if (store != nullptr) *out = store->exposed();
  return plat::S_OK;
}
