// The registry: two roots with keys, sub-keys, DWORD and string values, kept
// in one text file under the device root ("registry.txt"). Key and value names
// are matched without regard to ASCII case and keep the spelling of their
// first creation. Every change is saved at once through an atomic replace.
// A damaged file is reported on the debug output, kept aside as
// "registry.txt.bad" and replaced by an empty registry; it never crashes.
// A change whose save fails stays in memory and returns the save's status
// (it is written with the next successful save).
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "plat/status.h"
#include "plat/text.h"

namespace plat {

enum class RegRoot { LocalMachine, CurrentUser };

enum class RegType { Dword, String };

struct RegValue {
  String16 name;
  RegType type = RegType::Dword;
  uint32_t dword = 0;
  String16 string;
};

// Key paths use '\' between components ("Software\Norvale").
Status regCreateKey(RegRoot root, StringView16 keyPath);  // with parents; S_OK if present
bool regKeyExists(RegRoot root, StringView16 keyPath);
Status regDeleteKey(RegRoot root, StringView16 keyPath);  // with its sub-keys
Status regSetDword(RegRoot root, StringView16 keyPath, StringView16 name, uint32_t value);
Status regSetString(RegRoot root, StringView16 keyPath, StringView16 name, StringView16 value);
// E_FILE_NOT_FOUND when the key or value is missing, E_DATA_INVALID when it has the other type.
Status regGetDword(RegRoot root, StringView16 keyPath, StringView16 name, uint32_t* value);
Status regGetString(RegRoot root, StringView16 keyPath, StringView16 name, String16* value);
Status regDeleteValue(RegRoot root, StringView16 keyPath, StringView16 name);
Status regEnumSubKeys(RegRoot root, StringView16 keyPath, std::vector<String16>* names);
Status regEnumValues(RegRoot root, StringView16 keyPath, std::vector<RegValue>* values);

// Drops the in-memory registry so the next call reads the file again (after
// configurePaths() moved the device root, or in tests).
void regReload();

}  // namespace plat
