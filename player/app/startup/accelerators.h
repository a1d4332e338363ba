// The per-window keyboard accelerators of the message loop: up to ten
// (window, table) pairs and the pair of the window that is active now.
#pragma once
#include <cstddef>
#include <vector>

#include "plat/input.h"
#include "plat/message.h"

namespace tunora {

class AcceleratorRegistry {
 public:
  static constexpr size_t kMaxPairs = 10;

  // Appended while fewer than kMaxPairs are held; false when ignored.
  bool registerTable(plat::Window window, const plat::AcceleratorTable* table);
  // Removes the window's pair and returns its table (null if absent). The
  // active pair stays the same pair: cleared when it was the one removed,
  // moved down when it lay after it.
  const plat::AcceleratorTable* unregisterTable(plat::Window window);
  // The active pair becomes the window's, or none when it has none.
  void activate(plat::Window window);
  // Runs the active pair's table over the message; true when it was translated.
  bool translate(const plat::Message& msg) const;

  int activeIndex() const { return active_; }
  size_t size() const { return pairs_.size(); }

 private:
  struct Pair {
    plat::Window window;
    const plat::AcceleratorTable* table;
  };
  std::vector<Pair> pairs_;
  int active_ = -1;
};

}  // namespace tunora
