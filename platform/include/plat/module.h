// Module loader. The system loads libraries by their device names
// ("ZANTSDK.dll", "Glowset.dll", "tuners\PlatformDep.dep"); a name maps to
// "lib<base name>.so" (extension dropped) searched, in order, in the folder
// the name gives (as a device path, when it has one), beside the executable,
// then on the library path (a relative folder such as "tuners\" lies below
// the executable's folder; a file matches without regard to case). A module
// loaded twice (the same library file) is the same object; it is
// unloaded when its last handle goes. Tests register in-process stand-ins
// under a module name, which then win over any file.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "plat/status.h"
#include "plat/text.h"

namespace plat {

class Module {
 public:
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  // nullptr when the export is missing (a debug line names it).
  void* symbol(std::string_view exportName) const;
  template <typename Fn>
  Fn function(std::string_view exportName) const {
    return reinterpret_cast<Fn>(symbol(exportName));
  }
  const std::string& name() const { return name_; }        // as asked for, UTF-8
  const std::string& hostPath() const { return hostPath_; } // empty for a stand-in

 private:
  friend class ModuleLoader;
  Module() = default;
  std::string name_;
  std::string hostPath_;
  void* handle_ = nullptr;
  std::map<std::string, void*, std::less<>> standIn_;
  bool isStandIn_ = false;
};

using ModuleHandle = std::shared_ptr<Module>;

// Loads or reuses; on failure returns nullptr and sets *status
// (E_MOD_NOT_FOUND, with a debug line giving the dlopen error).
ModuleHandle loadModule(StringView16 name, Status* status = nullptr);
ModuleHandle loadModule(std::string_view nameUtf8, Status* status = nullptr);

// "ZANTSDK.dll" -> "libZANTSDK.so"; "tuners\PlatformDep.dep" -> "libPlatformDep.so".
std::string hostLibraryName(std::string_view moduleName);

// Registers a stand-in for a module name (matched without regard to case and
// extension). Handles already given out keep what they had.
void registerModuleStandIn(std::string_view moduleName, std::map<std::string, void*, std::less<>> exports);
void unregisterModuleStandIn(std::string_view moduleName);

}  // namespace plat
