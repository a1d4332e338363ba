// The settings store object: argument checks and the names common to both
// kinds live in SettingStore; the file kind and the registry kind supply the
// storage.
#pragma once
#include <string>
#include <string_view>

#include "plat/text.h"
#include "setting_document.h"
#include "vexo/setting.h"

namespace vexo {

class SettingStore : public McObject<IVexoCmnSetting> {
 public:
  SettingStore(uint32_t kind, uint32_t rootSelector, std::string company, std::string product);

  uint32_t GetRoot() final { return rootSelector_; }
  uint32_t GetKind() final { return kind_; }
  const char* GetCompany() final { return company_.c_str(); }
  const char* GetProduct() final { return product_.c_str(); }

  Status GetBool(const char* path, uint8_t* value) final;
  Status SetBool(const char* path, int32_t flag) final;
  Status GetDWORD(const char* path, uint32_t* value) final;
  Status SetDWORD(const char* path, uint32_t value) final;
  Status GetString(const char* path, char16_t* buffer, uint32_t capacity) final;
  Status SetString(const char* path, const char16_t* text) final;

 protected:
  ~SettingStore() override = default;

  // The path has been checked to start with '/'.
  virtual Status readBool(std::string_view path, bool* value) = 0;
  virtual Status readDword(std::string_view path, uint32_t* value) = 0;
  virtual Status readString(std::string_view path, plat::String16* text) = 0;
  virtual Status writeBool(std::string_view path, bool value) = 0;
  virtual Status writeDword(std::string_view path, uint32_t value) = 0;
  virtual Status writeString(std::string_view path, plat::StringView16 text) = 0;

  const std::string& company() const { return company_; }
  const std::string& product() const { return product_; }

 private:
  uint32_t kind_;
  uint32_t rootSelector_;
  std::string company_;
  std::string product_;
};

// A company or product name usable as one folder or registry key name.
bool isStoreName(std::string_view name);

SettingStore* createFileStore(uint32_t rootSelector, std::string company, std::string product);
SettingStore* createRegistryStore(uint32_t rootSelector, std::string company, std::string product);

}  // namespace vexo
