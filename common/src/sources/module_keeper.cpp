#include "sources/module_keeper.h"

#include <mutex>
#include <vector>

namespace vexo {

void keepLoaded(const plat::ModuleHandle& module) {
  if (!module || module->hostPath().empty()) return;
  // Process-lifetime loader state: never destroyed, so no unload can run
  // during exit while other static objects still use the library.
  static std::mutex* mutex = new std::mutex;
  static std::vector<plat::ModuleHandle>* kept = new std::vector<plat::ModuleHandle>;
  std::lock_guard lock(*mutex);
  for (const auto& held : *kept) {
    if (held == module) return;
  }
  kept->push_back(module);
}

}  // namespace vexo
