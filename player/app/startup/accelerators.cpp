#include "app/startup/accelerators.h"

namespace tunora {

bool AcceleratorRegistry::registerTable(plat::Window window, const plat::AcceleratorTable* table) {
  if (pairs_.size() >= kMaxPairs) return false;
  pairs_.push_back({window, table});
  return true;
}

const plat::AcceleratorTable* AcceleratorRegistry::unregisterTable(plat::Window window) {
  for (size_t i = 0; i < pairs_.size(); ++i) {
    if (pairs_[i].window != window) continue;
    const plat::AcceleratorTable* table = pairs_[i].table;
    pairs_.erase(pairs_.begin() + static_cast<std::ptrdiff_t>(i));
    const int removed = static_cast<int>(i);
    if (active_ == removed) active_ = -1;
    else if (active_ > removed) --active_;
    return table;
  }
  return nullptr;
}

void AcceleratorRegistry::activate(plat::Window window) {
  active_ = -1;
  for (size_t i = 0; i < pairs_.size(); ++i)
    if (pairs_[i].window == window) {
      active_ = static_cast<int>(i);
      return;
    }
}

bool AcceleratorRegistry::translate(const plat::Message& msg) const {
  if (active_ < 0 || static_cast<size_t>(active_) >= pairs_.size()) return false;
  const Pair& pair = pairs_[static_cast<size_t>(active_)];
  return pair.table && plat::translateAccelerator(pair.window, *pair.table, msg);
}

}  // namespace tunora
