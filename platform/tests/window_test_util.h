// Test helpers: a window class whose procedure records every message it gets
// and lets a test answer chosen messages.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "plat/clock.h"
#include "plat/input.h"
#include "plat/message.h"
#include "plat/window.h"

namespace wtest {

using Handler = std::function<std::optional<plat::LResult>(plat::Window, uint32_t, plat::WParam, plat::LParam)>;

struct Recorded {
  uint32_t message;
  plat::WParam wParam;
  plat::LParam lParam;
};

class Recorder {
 public:
  static Recorder& instance() {
    static Recorder r;
    return r;
  }
  void record(plat::Window w, const Recorded& m) {
    std::lock_guard lock(mutex_);
    log_[w.id].push_back(m);
  }
  std::vector<Recorded> log(plat::Window w) {
    std::lock_guard lock(mutex_);
    return log_[w.id];
  }
  std::vector<uint32_t> messages(plat::Window w) {
    std::vector<uint32_t> out;
    for (auto& m : log(w)) out.push_back(m.message);
    return out;
  }
  size_t count(plat::Window w, uint32_t message) {
    auto l = log(w);
    return static_cast<size_t>(std::count_if(l.begin(), l.end(), [&](auto& m) { return m.message == message; }));
  }
  void clear(plat::Window w) {
    std::lock_guard lock(mutex_);
    log_[w.id].clear();
  }
  void setHandler(plat::Window w, Handler h) {
    std::lock_guard lock(mutex_);
    handlers_[w.id] = std::move(h);
  }
  Handler handler(plat::Window w) {
    std::lock_guard lock(mutex_);
    auto it = handlers_.find(w.id);
    return it == handlers_.end() ? Handler{} : it->second;
  }

 private:
  std::mutex mutex_;
  std::map<uint32_t, std::vector<Recorded>> log_;
  std::map<uint32_t, Handler> handlers_;
};

inline plat::LResult recordingProc(plat::Window w, uint32_t msg, plat::WParam wp, plat::LParam lp) {
  Recorder::instance().record(w, {msg, wp, lp});
  if (auto h = Recorder::instance().handler(w)) {
    if (auto r = h(w, msg, wp, lp)) return *r;
  }
  return plat::defaultWindowProc(w, msg, wp, lp);
}

inline constexpr char16_t kRecClass[] = u"RecWnd";
inline constexpr char16_t kRecDblClass[] = u"RecDblWnd";

inline void registerTestClasses() {
  plat::registerClass({kRecClass, 0, recordingProc, {}});
  plat::registerClass({kRecDblClass, plat::kClassDoubleClicks, recordingProc, {}});
}

inline plat::Window makeTop(plat::Rect r, uint32_t style = plat::kStyleVisible, plat::Window owner = {},
                            const char16_t* cls = kRecClass, const char16_t* title = u"") {
  registerTestClasses();
  plat::CreateWindowParams p;
  p.className = cls;
  p.title = title;
  p.style = style;
  p.rect = r;
  p.owner = owner;
  return plat::createWindow(p);
}

inline plat::Window makeChild(plat::Window parent, plat::Rect r, int32_t id, uint32_t style = plat::kStyleVisible,
                              const char16_t* cls = kRecClass) {
  registerTestClasses();
  plat::CreateWindowParams p;
  p.className = cls;
  p.style = style | plat::kStyleChild;
  p.rect = r;
  p.parent = parent;
  p.controlId = id;
  return plat::createWindow(p);
}

// Destroys every top-level window left by a test and drops pending messages.
inline void cleanUp() {
  for (plat::Window w : plat::topLevelWindows()) plat::destroyWindow(w);
  plat::releaseCapture();
  plat::Message m;
  while (plat::peekMessage(&m)) {
  }
}

}  // namespace wtest
