// A lock that only one process on the machine can hold at a time, for the
// player's "only one running instance" rule. Implemented with an advisory
// file lock in the runtime directory, so it is released when the process
// dies, however it dies.
#pragma once
#include <string>
#include <string_view>

namespace plat {

class SingleInstanceLock {
 public:
  // Tries to take the lock for name; held() tells whether this process won.
  explicit SingleInstanceLock(std::string_view name);
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  bool held() const { return fd_ >= 0; }
  // The file used for the lock ($XDG_RUNTIME_DIR, else /tmp/tunora-<uid>), for
  // diagnostics; empty when no usable directory was found.
  const std::string& lockPath() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace plat
