// The settings store: typed values (bool, DWORD, String) addressed by slash
// paths such as "/Setting/Scan/Region". Two kinds share the interface:
//   kind 0, an XML file <resident flash path><company>\<product>\Setting.xml
//           (changes stay in memory until Save, which replaces the file in one
//           step: a crash during a save leaves the old file or the new one);
//   kind 1, the registry, below "Software\<company>\<product>" of the root the
//           root selector names (0 current user, 1 local machine); writes go
//           through at once and Save does nothing.
// Created by CoCreateVexoCmnSetting (cmn_factories.h). Results: S_OK, E_FAIL
// (missing value, wrong type, unreadable text, failed save) or E_INVALIDARG
// (path not starting with '/', null pointers, text an XML file cannot hold).
// One thread uses an instance at a time; the store takes no lock.
#pragma once
#include <cstdint>

#include "plat/text.h"
#include "vexo/cmn_factories.h"
#include "vexo/mc.h"

class IVexoCmnSetting : public IMcUnknown {
 public:
  static constexpr Guid iid = IID_IVexoCmnSetting;

  // 1 when the store holds something: the file exists and is not empty, or
  // the registry key of company and product exists. 0 otherwise.
  virtual int32_t Exists() = 0;
  virtual uint32_t GetRoot() = 0;
  virtual uint32_t GetKind() = 0;
  // The names given at creation (UTF-8), owned by the instance.
  virtual const char* GetCompany() = 0;
  virtual const char* GetProduct() = 0;

  // value receives 1 or 0.
  virtual Status GetBool(const char* path, uint8_t* value) = 0;
  // flag: non-zero is true.
  virtual Status SetBool(const char* path, int32_t flag) = 0;
  virtual Status GetDWORD(const char* path, uint32_t* value) = 0;
  virtual Status SetDWORD(const char* path, uint32_t value) = 0;
  // capacity counts characters including the terminator. A stored text that
  // does not fit gives E_FAIL and an empty buffer rather than a cut text
  // (a cut folder path would silently point somewhere else).
  virtual Status GetString(const char* path, char16_t* buffer, uint32_t capacity) = 0;
  virtual Status SetString(const char* path, const char16_t* text) = 0;
  virtual Status Save() = 0;

 protected:
  ~IVexoCmnSetting() = default;
};

namespace vexo {

inline constexpr uint32_t kSettingKindFile = 0;
inline constexpr uint32_t kSettingKindRegistry = 1;
inline constexpr uint32_t kSettingRootCurrentUser = 0;
inline constexpr uint32_t kSettingRootLocalMachine = 1;

// The base folder of every stored file (a device path ending in '\'): the text
// of the "ResidentFlashPath" element under the root of the program directory's
// "Setting.xml", else "\NAND\ISDBT\". The program-directory file is only read.
plat::String16 residentFlashPath();

}  // namespace vexo
