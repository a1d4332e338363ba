// The registry kind of the settings store: the path /A/B/C is the value C of
// the key Software\<company>\<product>\A\B under the current-user (root
// selector 0) or local-machine (1) root. bool and DWORD are DWORD values (a
// bool reads true when non-zero), String is a string value. Writes go through
// at once; Save has nothing to do.
#include <new>

#include "plat/registry.h"
#include "setting_store.h"

namespace vexo {
namespace {

constexpr size_t kMaxPathChars = 2048;

class RegistrySettingStore final : public SettingStore {
 public:
  RegistrySettingStore(uint32_t rootSelector, std::string company, std::string product)
      : SettingStore(kSettingKindRegistry, rootSelector, std::move(company), std::move(product)) {
    if (rootSelector == kSettingRootCurrentUser) root_ = plat::RegRoot::CurrentUser;
    else if (rootSelector == kSettingRootLocalMachine) root_ = plat::RegRoot::LocalMachine;
    else validRoot_ = false;
    storeKey_ = u"Software\\" + plat::utf8ToUtf16(this->company()) + u"\\" + plat::utf8ToUtf16(this->product());
  }

  int32_t Exists() override { return validRoot_ && plat::regKeyExists(root_, storeKey_) ? 1 : 0; }
  Status Save() override { return plat::S_OK; }

 protected:
  Status readBool(std::string_view path, bool* value) override {
    uint32_t v = 0;
    Status st = readDword(path, &v);
    if (plat::succeeded(st)) *value = v != 0;
    return st;
  }

  Status readDword(std::string_view path, uint32_t* value) override {
    Location at;
    Status st = locateForRead(path, &at);
    if (plat::failed(st)) return st;
    return plat::failed(plat::regGetDword(root_, at.key, at.name, value)) ? plat::E_FAIL : plat::S_OK;
  }

  Status readString(std::string_view path, plat::String16* text) override {
    Location at;
    Status st = locateForRead(path, &at);
    if (plat::failed(st)) return st;
    return plat::failed(plat::regGetString(root_, at.key, at.name, text)) ? plat::E_FAIL : plat::S_OK;
  }

  Status writeBool(std::string_view path, bool value) override { return writeDword(path, value ? 1 : 0); }

  Status writeDword(std::string_view path, uint32_t value) override {
    Location at;
    Status st = locateForWrite(path, /*asString=*/false, &at);
    if (plat::failed(st)) return st;
    return plat::failed(plat::regSetDword(root_, at.key, at.name, value)) ? plat::E_FAIL : plat::S_OK;
  }

  Status writeString(std::string_view path, plat::StringView16 text) override {
    Location at;
    Status st = locateForWrite(path, /*asString=*/true, &at);
    if (plat::failed(st)) return st;
    return plat::failed(plat::regSetString(root_, at.key, at.name, text)) ? plat::E_FAIL : plat::S_OK;
  }

 private:
  struct Location {
    plat::String16 key;
    plat::String16 name;
  };

  // Key and value name of a path; E_FAIL for a path that names nothing (an
  // empty segment) or is too long, or when the root selector is not valid.
  Status locate(std::string_view path, Location* at) const {
    if (!validRoot_) return plat::E_FAIL;
    plat::String16 wide = plat::utf8ToUtf16(path.substr(1));
    if (wide.size() > kMaxPathChars) return plat::E_FAIL;
    at->key = storeKey_;
    at->name.clear();
    size_t start = 0;
    while (true) {
      size_t slash = wide.find(u'/', start);
      plat::String16 segment = wide.substr(start, slash == plat::String16::npos ? slash : slash - start);
      // An empty segment names nothing; a '\' would address another key.
      if (segment.empty() || segment.find(u'\\') != plat::String16::npos) return plat::E_FAIL;
      if (slash == plat::String16::npos) {
        at->name = segment;
        return plat::S_OK;
      }
      at->key += u'\\';
      at->key += segment;
      start = slash + 1;
    }
  }

  // A missing key is reported as E_INVALIDARG, as callers of this store expect.
  Status locateForRead(std::string_view path, Location* at) const {
    Status st = locate(path, at);
    if (plat::failed(st)) return st;
    return plat::regKeyExists(root_, at->key) ? plat::S_OK : plat::E_INVALIDARG;
  }

  // The value must be missing or already of the type written; the key and
  // its parents are created as needed.
  Status locateForWrite(std::string_view path, bool asString, Location* at) const {
    Status st = locate(path, at);
    if (plat::failed(st)) return st;
    if (plat::regKeyExists(root_, at->key)) {
      Status other;
      if (asString) {
        uint32_t unused = 0;
        other = plat::regGetDword(root_, at->key, at->name, &unused);
      } else {
        plat::String16 unused;
        other = plat::regGetString(root_, at->key, at->name, &unused);
      }
      if (plat::succeeded(other)) return plat::E_FAIL;
      return plat::S_OK;
    }
    return plat::failed(plat::regCreateKey(root_, at->key)) ? plat::E_FAIL : plat::S_OK;
  }

  plat::RegRoot root_ = plat::RegRoot::CurrentUser;
  bool validRoot_ = true;
  plat::String16 storeKey_;
};

}  // namespace

SettingStore* createRegistryStore(uint32_t rootSelector, std::string company, std::string product) {
  return new (std::nothrow) RegistrySettingStore(rootSelector, std::move(company), std::move(product));
}

}  // namespace vexo
