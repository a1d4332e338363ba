#include "app/startup/handover.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "plat/debug.h"
#include "plat/window.h"

namespace tunora {

namespace fs = std::filesystem;

std::optional<fs::path> meetingDirectory() {
  fs::path dir;
  if (const char* env = std::getenv("TUNORA_WINDOW_PEER_DIR"); env && env[0] == '/') {
    dir = env;
  } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
    dir = fs::path(runtime) / "tunora-windows";
  } else {
    dir = fs::path("/tmp") / ("tunora-" + std::to_string(::getuid()) + "-windows");
  }
  std::error_code ec;
  fs::create_directories(dir, ec);
  ::chmod(dir.c_str(), 0700);
  if (!fs::is_directory(dir, ec)) return std::nullopt;
  return dir;
}

plat::String16 handoverText(plat::StringView16 commandLine) {
  plat::String16 text(commandLine.substr(0, kShareMemoryChars - 1));
  if (!text.empty() && text.front() == u'"') {
    text.erase(0, 1);
    if (!text.empty() && text.back() == u'"') text.pop_back();
  }
  return text;
}

std::unique_ptr<SharedPathMemory> SharedPathMemory::open(int* error) {
  *error = 0;
  auto dir = meetingDirectory();
  if (!dir) {
    *error = ENOENT;
    return nullptr;
  }
  const fs::path path = *dir / kShareMemoryName;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(kShareMemoryBytes)) != 0) {
    *error = errno;
    if (fd >= 0) ::close(fd);
    return nullptr;
  }
  void* view = ::mmap(nullptr, kShareMemoryBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) {
    *error = errno;
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<SharedPathMemory>(new SharedPathMemory(fd, view));
}

SharedPathMemory::~SharedPathMemory() {
  ::munmap(view_, kShareMemoryBytes);
  ::close(fd_);
}

void SharedPathMemory::write(plat::StringView16 text) {
  std::memset(view_, 0, kShareMemoryBytes);
  const size_t n = std::min(text.size(), kShareMemoryChars - 1);
  std::memcpy(view_, text.data(), n * sizeof(char16_t));
}

plat::String16 SharedPathMemory::read() const {
  const auto* chars = static_cast<const char16_t*>(view_);
  return plat::String16(chars, plat::boundedLength(chars, kShareMemoryChars - 1));
}

bool handOverToRunningInstance(plat::StringView16 commandLine) {
  const plat::Window running = plat::findWindow(kMainWindowClass, kMainWindowTitle);
  if (!running || commandLine.empty()) return false;
  int error = 0;
  auto memory = SharedPathMemory::open(&error);
  if (!memory) {
    plat::debugPrintf("Could not map view of file (%d).\n", error);
    return false;
  }
  memory->write(handoverText(commandLine));
  plat::sendMessage(running, kMsgOpenPendingFile, 0, 0);
  return true;
}

}  // namespace tunora
