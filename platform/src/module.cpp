// Module loader: device module names to host shared libraries, found in the
// name's own folder, beside the executable, then on the library path; loaded
// modules are shared through a table of weak references so a module loaded
// twice is one object and is unloaded with its last handle.
#include "plat/module.h"

#include <dlfcn.h>
#include <link.h>

#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

#include "plat/debug.h"
#include "plat/paths.h"
#include "plat/system.h"

namespace plat {
namespace fs = std::filesystem;

namespace {

using Exports = std::map<std::string, void*, std::less<>>;

struct LoaderState {
  std::mutex mutex;
  std::map<void*, std::weak_ptr<Module>> byHandle;            // dlopen handle -> module
  std::map<std::string, std::weak_ptr<Module>> standInsLoaded;  // key -> module
  std::map<std::string, Exports> standIns;                      // key -> exports
};

LoaderState& loader() {
  static LoaderState s;
  return s;
}

std::string_view lastComponent(std::string_view name) {
  size_t pos = name.find_last_of("\\/");
  return pos == std::string_view::npos ? name : name.substr(pos + 1);
}

std::string_view withoutExtension(std::string_view file) {
  size_t dot = file.rfind('.');
  return (dot == std::string_view::npos || dot == 0) ? file : file.substr(0, dot);
}

// Stand-ins are matched by base name without case and extension.
std::string standInKey(std::string_view moduleName) {
  return toLowerAscii(withoutExtension(lastComponent(moduleName)));
}

// The file in dir named fileName without regard to case (exact spelling first).
std::optional<fs::path> findInFolder(const fs::path& dir, const std::string& fileName) {
  std::error_code ec;
  if (fs::is_regular_file(dir / fileName, ec)) return dir / fileName;
  fs::directory_iterator it(dir, ec);
  if (ec) return std::nullopt;
  std::optional<fs::path> best;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::string candidate = it->path().filename().string();
    if (!equalsNoCase(candidate, fileName) || !it->is_regular_file(ec)) continue;
    if (!best || candidate < best->filename().string()) best = it->path();
  }
  return best;
}

// Folders to search, in order: the name's own folder, the executable's folder.
std::vector<fs::path> searchFolders(std::string_view moduleName) {
  std::vector<fs::path> folders;
  size_t pos = moduleName.find_last_of("\\/");
  if (pos != std::string_view::npos) {
    std::string dir(moduleName.substr(0, pos + 1));
    if (dir.front() == '\\' || dir.front() == '/') {
      if (auto host = toHostPath(std::string_view(dir))) folders.push_back(*host);
    } else {
      // A relative folder ("tuners\") is below the executable's folder and
      // may not climb out of it.
      if (auto n = normalizeDevicePath(u"\\" + utf8ToUtf16(dir))) {
        std::string rel = utf16ToUtf8(*n);
        for (char& c : rel)
          if (c == '\\') c = '/';
        folders.push_back(executableDir() / rel.substr(1));
      }
    }
  }
  folders.push_back(executableDir());
  return folders;
}

}  // namespace

class ModuleLoader {
 public:
  static ModuleHandle load(std::string_view name, Status* status);
};

Module::~Module() {
  if (handle_) ::dlclose(handle_);
}

void* Module::symbol(std::string_view exportName) const {
  void* p = nullptr;
  if (isStandIn_) {
    auto it = standIn_.find(exportName);
    if (it != standIn_.end()) p = it->second;
  } else if (handle_) {
    std::string n(exportName);
    p = ::dlsym(handle_, n.c_str());
  }
  if (!p) debugOut("module " + name_ + ": export " + std::string(exportName) + " not found");
  return p;
}

std::string hostLibraryName(std::string_view moduleName) {
  return "lib" + std::string(withoutExtension(lastComponent(moduleName))) + ".so";
}

ModuleHandle ModuleLoader::load(std::string_view name, Status* status) {
  auto result = [&](ModuleHandle h, Status s) {
    if (status) *status = s;
    return h;
  };
  std::string base(lastComponent(name));
  if (withoutExtension(base).empty()) {
    debugOut("module: empty module name \"" + std::string(name) + "\"");
    return result(nullptr, E_INVALIDARG);
  }

  // A registered stand-in wins over any file.
  std::string key = standInKey(name);
  {
    std::lock_guard lock(loader().mutex);
    auto it = loader().standIns.find(key);
    if (it != loader().standIns.end()) {
      if (ModuleHandle existing = loader().standInsLoaded[key].lock()) return result(existing, S_OK);
      ModuleHandle m(new Module());
      m->name_ = std::string(name);
      m->isStandIn_ = true;
      m->standIn_ = it->second;
      loader().standInsLoaded[key] = m;
      return result(m, S_OK);
    }
  }

  std::string libName = hostLibraryName(name);
  std::optional<fs::path> file;
  for (const auto& folder : searchFolders(name)) {
    file = findInFolder(folder, libName);
    if (file) break;
  }
  // Without a file in our folders, the library path decides.
  std::string target = file ? file->string() : libName;
  void* handle = ::dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* err = ::dlerror();
    debugOut("module: cannot load " + std::string(name) + " (" + target +
             "): " + (err ? err : "unknown error"));
    return result(nullptr, E_MOD_NOT_FOUND);
  }

  std::string hostPath = target;
  if (!file) {
    // Report where the library path found it.
    struct link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0])
      hostPath = map->l_name;
  }

  ModuleHandle m;
  {
    std::lock_guard lock(loader().mutex);
    auto& slot = loader().byHandle[handle];
    m = slot.lock();
    if (!m) {
      m = ModuleHandle(new Module());
      m->name_ = std::string(name);
      m->hostPath_ = hostPath;
      m->handle_ = handle;
      slot = m;
      handle = nullptr;  // the module owns this reference now
    }
    // Sweep entries of modules that have gone.
    for (auto it = loader().byHandle.begin(); it != loader().byHandle.end();) {
      it = it->second.expired() ? loader().byHandle.erase(it) : std::next(it);
    }
  }
  // Already loaded: drop the extra reference dlopen took.
  if (handle) ::dlclose(handle);
  return result(m, S_OK);
}

ModuleHandle loadModule(std::string_view nameUtf8, Status* status) {
  return ModuleLoader::load(nameUtf8, status);
}

ModuleHandle loadModule(StringView16 name, Status* status) {
  return ModuleLoader::load(utf16ToUtf8(name), status);
}

void registerModuleStandIn(std::string_view moduleName, Exports exports) {
  std::lock_guard lock(loader().mutex);
  std::string key = standInKey(moduleName);
  loader().standIns[key] = std::move(exports);
  loader().standInsLoaded.erase(key);  // later loads see the new exports
}

void unregisterModuleStandIn(std::string_view moduleName) {
  std::lock_guard lock(loader().mutex);
  std::string key = standInKey(moduleName);
  loader().standIns.erase(key);
  loader().standInsLoaded.erase(key);
}

}  // namespace plat
