// The string table loader object handed out by CoCreateVexoCmnStringLoader.
#include <new>

#include "string_table.h"
#include "vexo/string_loader.h"

namespace vexo {
namespace {

class StringLoader final : public McObject<IVexoCmnStringLoader> {
 public:
  Status Load(const char16_t* path) override {
    if (path == nullptr) return plat::E_INVALIDARG;
    return table_.loadFile(path);
  }
  uint32_t GetLocaleCount() override { return table_.localeCount(); }
  int32_t GetLocale(uint32_t index) override { return table_.localeAt(index); }
  int32_t GetLCID() override { return table_.lcid(); }
  Status SetLCID(int32_t lcid) override {
    table_.setLcid(lcid);
    return plat::S_OK;
  }
  Status GetString(const char* key, char16_t* buffer, uint32_t capacity) override {
    return table_.lookup(key, buffer, capacity);
  }

 private:
  ~StringLoader() override = default;
  StringTable table_;
};

}  // namespace
}  // namespace vexo

extern "C" Status CoCreateVexoCmnStringLoader(IVexoCmnStringLoader** out) {
  if (out == nullptr) return plat::E_POINTER;
  *out = nullptr;
  try {
    if (auto* loader = new (std::nothrow) vexo::StringLoader()) *out = loader->exposed();
  } catch (const std::bad_alloc&) {
  }
  return plat::S_OK;
}
