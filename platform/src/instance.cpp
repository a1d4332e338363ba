// Single-instance lock: flock() on a file in the user's runtime directory.
// The lock belongs to the open file, so the kernel drops it when the process
// ends in any way; the file is opened close-on-exec so programs we start do
// not inherit it.
#include "plat/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "plat/debug.h"
#include "plat/text.h"

namespace plat {
namespace {

// $XDG_RUNTIME_DIR when it names a directory, else a private folder in /tmp.
// The /tmp folder is shared with other users, so it must be a real directory
// that we own and that nobody else can write to.
std::string lockDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (runtime && runtime[0] == '/' && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return runtime;
  const uid_t uid = getuid();
  std::string dir = formatString("/tmp/tunora-%u", static_cast<unsigned>(uid));
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    debugPrintf("SingleInstanceLock: cannot create %s: %s", dir.c_str(), std::strerror(errno));
    return {};
  }
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid || (st.st_mode & 022) != 0) {
    debugPrintf("SingleInstanceLock: %s is not a private directory of this user", dir.c_str());
    return {};
  }
  return dir;
}

// The name as a file name: letters, digits, '-', '_' and '.' stay, every other
// byte becomes %XX, so different names never share a file.
std::string fileNameFor(std::string_view name) {
  std::string out;
  for (const char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' || u == '_' ||
        (u == '.' && !out.empty()))
      out.push_back(c);
    else
      out += formatString("%%%02X", u);
  }
  return out + ".lock";
}

}  // namespace

SingleInstanceLock::SingleInstanceLock(std::string_view name) {
  const std::string dir = lockDirectory();
  if (dir.empty()) return;
  path_ = dir + "/" + fileNameFor(name);
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    debugPrintf("SingleInstanceLock: cannot open %s: %s", path_.c_str(), std::strerror(errno));
    return;
  }
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    if (errno != EWOULDBLOCK) debugPrintf("SingleInstanceLock: flock %s: %s", path_.c_str(), std::strerror(errno));
    ::close(fd);
    return;
  }
  fd_ = fd;
}

SingleInstanceLock::~SingleInstanceLock() {
  // The file stays: removing it could let a second process lock a new file
  // of the same name while a third still holds the old one.
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace plat
