// The link between processes. Each process that publishes its windows binds
// a datagram socket "<pid>.sock" in a private directory and keeps a list of
// its top-level windows in "<pid>.win" (topmost first: id, visible, class,
// title). Other processes read the lists to find windows and send packets
// to the sockets to post, send or broadcast. A listener thread hands
// incoming packets to the owner threads through the ordinary queues, and
// the answers of remote sends come back the same way. Registered message
// numbers live in the shared file "messages", extended under a file lock.
#include "window/peer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>

#include "plat/debug.h"
#include "plat/file.h"
#include "plat/thread.h"
#include "window/state.h"

namespace plat::win {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kPacketMagic = 0x504E5754;  // "TWNP"
enum PacketKind : uint32_t { kPost = 1, kSend = 2, kReply = 3, kBroadcast = 4, kStop = 5 };

struct Packet {
  uint32_t magic = kPacketMagic;
  uint32_t kind = 0;
  uint32_t target = 0;
  uint32_t message = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;  // the result, in a reply
  uint64_t seq = 0;
  int32_t senderPid = 0;
  uint32_t reserved = 0;
};

constexpr size_t kMaxListBytes = 1 << 20;

std::optional<fs::path> peerDirectory() {
  fs::path dir;
  if (const char* env = std::getenv("TUNORA_WINDOW_PEER_DIR"); env && env[0] == '/') {
    dir = env;
  } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
    dir = fs::path(runtime) / "tunora-windows";
  } else {
    dir = fs::path("/tmp") / ("tunora-" + std::to_string(getuid()) + "-windows");
  }
  std::error_code ec;
  fs::create_directories(dir, ec);
  struct stat st {};
  // Only a directory of our own, closed to others, is trusted.
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return std::nullopt;
  if ((st.st_mode & 077) != 0) chmod(dir.c_str(), 0700);
  return dir;
}

bool processAlive(int pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

bool makeAddress(const fs::path& path, sockaddr_un* addr) {
  std::string s = path.string();
  if (s.size() >= sizeof(addr->sun_path)) return false;
  std::memset(addr, 0, sizeof(*addr));
  addr->sun_family = AF_UNIX;
  std::memcpy(addr->sun_path, s.c_str(), s.size() + 1);
  return true;
}

fs::path socketPath(const fs::path& dir, int pid) { return dir / (std::to_string(pid) + ".sock"); }
fs::path listPath(const fs::path& dir, int pid) { return dir / (std::to_string(pid) + ".win"); }

bool sendPacket(int fd, const fs::path& dir, int pid, const Packet& packet) {
  sockaddr_un addr;
  if (!makeAddress(socketPath(dir, pid), &addr)) return false;
  int sock = fd >= 0 ? fd : socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (sock < 0) return false;
  ssize_t n = sendto(sock, &packet, sizeof(packet), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  if (fd < 0) close(sock);
  return n == static_cast<ssize_t>(sizeof(packet));
}

// Live peers other than this process; files of dead ones are removed.
std::vector<int> livePeers(const fs::path& dir) {
  std::vector<int> pids;
  std::error_code ec;
  for (auto& entry : fs::directory_iterator(dir, ec)) {
    fs::path name = entry.path().filename();
    if (name.extension() != ".sock") continue;
    std::string stem = name.stem().string();
    char* end = nullptr;
    long pid = std::strtol(stem.c_str(), &end, 10);
    if (stem.empty() || !end || *end != '\0' || pid <= 0 || pid > INT32_MAX || pid == getpid()) continue;
    if (!processAlive(static_cast<int>(pid))) {
      fs::remove(entry.path(), ec);
      fs::remove(listPath(dir, static_cast<int>(pid)), ec);
      continue;
    }
    pids.push_back(static_cast<int>(pid));
  }
  std::sort(pids.begin(), pids.end());
  return pids;
}

std::string oneLine(StringView16 text) {
  std::string s = utf16ToUtf8(text);
  std::replace_if(s.begin(), s.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
  return s;
}

class Peer {
 public:
  ~Peer() { stop(); }

  bool publish() {
    if (!start()) return false;
    published_ = true;
    writeList();
    return true;
  }
  bool published() const { return published_; }

  void stop() {
    published_ = false;
    int fd;
    {
      std::lock_guard lock(mutex_);
      fd = fd_;
    }
    if (fd < 0) return;
    Packet stopPacket;
    stopPacket.kind = kStop;
    stopPacket.senderPid = getpid();
    sendPacket(-1, dir_, getpid(), stopPacket);
    listener_.join();
    std::lock_guard lock(mutex_);
    close(fd_);
    fd_ = -1;
    std::error_code ec;
    fs::remove(socketPath(dir_, getpid()), ec);
    fs::remove(listPath(dir_, getpid()), ec);
  }

  void windowsChanged() {
    if (published_) writeList();
  }

  Window proxyFor(int pid, uint32_t remoteId) {
    std::lock_guard lock(mutex_);
    auto key = std::make_pair(pid, remoteId);
    if (auto it = proxyOf_.find(key); it != proxyOf_.end()) return Window{it->second};
    uint32_t id;
    {
      auto& reg = registry();
      std::lock_guard regLock(reg.mutex);
      id = reg.nextId++;
    }
    proxyOf_[key] = id;
    proxies_[id] = key;
    return Window{id};
  }

  std::optional<std::pair<int, uint32_t>> remoteOf(Window w) {
    std::lock_guard lock(mutex_);
    auto it = proxies_.find(w.id);
    if (it == proxies_.end()) return std::nullopt;
    return it->second;
  }

  bool post(Window w, uint32_t message, WParam wp, LParam lp, PacketKind kind = kPost) {
    auto remote = remoteOf(w);
    auto dir = peerDirectory();
    if (!remote || !dir) return false;
    Packet p;
    p.kind = kind;
    p.target = remote->second;
    p.message = message;
    p.wParam = wp;
    p.lParam = lp;
    p.senderPid = getpid();
    return sendPacket(-1, *dir, remote->first, p);
  }

  LResult send(Window w, uint32_t message, WParam wp, LParam lp) {
    auto remote = remoteOf(w);
    if (!remote || !start()) return 0;
    auto me = currentQueue();
    auto rec = std::make_shared<SendRecord>();
    rec->window = w;
    rec->sender = me;
    uint64_t seq = nextSeq_++;
    {
      std::lock_guard lock(mutex_);
      pending_[seq] = rec;
    }
    Packet p;
    p.kind = kSend;
    p.target = remote->second;
    p.message = message;
    p.wParam = wp;
    p.lParam = lp;
    p.seq = seq;
    p.senderPid = getpid();
    if (sendPacket(-1, dir_, remote->first, p)) {
      waitForReply(*me, *rec, std::chrono::steady_clock::now() + std::chrono::milliseconds(kRemoteSendTimeoutMs));
    }
    {
      std::lock_guard lock(mutex_);
      pending_.erase(seq);
    }
    std::lock_guard lock(me->mutex);
    return rec->done ? rec->result : 0;
  }

  void broadcast(uint32_t message, WParam wp, LParam lp) {
    auto dir = peerDirectory();
    if (!dir) return;
    Packet p;
    p.kind = kBroadcast;
    p.message = message;
    p.wParam = wp;
    p.lParam = lp;
    p.senderPid = getpid();
    for (int pid : livePeers(*dir)) sendPacket(-1, *dir, pid, p);
  }

  Window find(StringView16 cls, StringView16 title) {
    auto dir = peerDirectory();
    if (!dir) return {};
    for (int pid : livePeers(*dir)) {
      std::string bytes;
      if (failed(readWholeFileHost(listPath(*dir, pid), &bytes, kMaxListBytes))) continue;
      std::istringstream in(bytes);
      std::string line;
      while (std::getline(in, line)) {
        // id \t visible \t class \t title
        size_t a = line.find('\t');
        size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
        size_t c = b == std::string::npos ? b : line.find('\t', b + 1);
        if (c == std::string::npos) continue;
        char* end = nullptr;
        unsigned long id = std::strtoul(line.c_str(), &end, 10);
        if (end != line.c_str() + a || id == 0 || id > 0xFFFFFFFFul) continue;
        String16 lineClass = utf8ToUtf16(std::string_view(line).substr(b + 1, c - b - 1));
        String16 lineTitle = utf8ToUtf16(std::string_view(line).substr(c + 1));
        if (!cls.empty() && !equalsNoCase(cls, lineClass)) continue;
        if (!title.empty() && title != lineTitle) continue;
        return proxyFor(pid, static_cast<uint32_t>(id));
      }
    }
    return {};
  }

 private:
  bool start() {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) return true;
    auto dir = peerDirectory();
    if (!dir) return false;
    sockaddr_un addr;
    fs::path path = socketPath(*dir, getpid());
    if (!makeAddress(path, &addr)) return false;
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    unlink(path.c_str());  // left by an earlier process with our pid
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
      debugPrintf("window peer: cannot bind %s: %s", path.c_str(), std::strerror(errno));
      close(fd);
      return false;
    }
    dir_ = *dir;
    fd_ = fd;
    listener_ = Thread("window-peer", [this, fd] { listen(fd); });
    return true;
  }

  void listen(int fd) {
    for (;;) {
      Packet p;
      ssize_t n = recv(fd, &p, sizeof(p), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return;
      // Anything but a whole packet of ours is ignored.
      if (n != static_cast<ssize_t>(sizeof(p)) || p.magic != kPacketMagic) continue;
      switch (p.kind) {
        case kStop:
          if (p.senderPid == getpid()) return;
          break;
        case kPost:
          if (isPublishedTarget(p.target)) postMessage(Window{p.target}, p.message, p.wParam, p.lParam);
          break;
        case kBroadcast:
          broadcastLocal(p.message, p.wParam, p.lParam);
          break;
        case kSend: {
          // Handed to the owner thread without waiting here, so the answers
          // to our own remote sends keep coming in meanwhile.
          auto rec = std::make_shared<SendRecord>();
          rec->window = Window{isPublishedTarget(p.target) ? p.target : 0};
          rec->message = p.message;
          rec->wParam = p.wParam;
          rec->lParam = p.lParam;
          rec->onDone = [dir = dir_, pid = p.senderPid, seq = p.seq](LResult result) {
            Packet reply;
            reply.kind = kReply;
            reply.seq = seq;
            reply.lParam = result;
            reply.senderPid = getpid();
            sendPacket(-1, dir, pid, reply);
          };
          queueSend(rec);
          break;
        }
        case kReply: {
          std::shared_ptr<SendRecord> rec;
          {
            std::lock_guard lock(mutex_);
            auto it = pending_.find(p.seq);
            if (it != pending_.end()) rec = it->second;
          }
          if (rec) completeSend(*rec, p.lParam);
          break;
        }
        default:
          break;
      }
    }
  }

  // Only this process's top-level windows are reachable from outside.
  static bool isPublishedTarget(uint32_t id) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(id);
    return d && !d->parent && !d->destroying;
  }

  void writeList() {
    std::string text;
    {
      auto& reg = registry();
      std::lock_guard lock(reg.mutex);
      for (uint32_t id : reg.topLevel) {
        WindowData* d = findLocked(id);
        if (!d || d->destroying) continue;
        text += std::to_string(id) + '\t' + ((d->style & kStyleVisible) ? "1" : "0") + '\t' +
                oneLine(d->cls->info.name) + '\t' + oneLine(d->text) + '\n';
      }
    }
    std::lock_guard lock(writeMutex_);
    if (published_) atomicReplaceHost(listPath(dir_, getpid()), text);
  }

  std::mutex mutex_;
  std::mutex writeMutex_;
  int fd_ = -1;
  fs::path dir_;
  Thread listener_;
  std::atomic<bool> published_{false};
  std::atomic<uint64_t> nextSeq_{1};
  std::map<uint64_t, std::shared_ptr<SendRecord>> pending_;
  std::map<uint32_t, std::pair<int, uint32_t>> proxies_;
  std::map<std::pair<int, uint32_t>, uint32_t> proxyOf_;
};

Peer& peer() {
  static Peer instance;
  return instance;
}

}  // namespace

// Processes that never published stay to themselves: a test program does
// not find or disturb the windows of a player running beside it.
bool isRemoteWindow(Window window) { return window && peer().published() && peer().remoteOf(window).has_value(); }
bool peerPost(Window window, uint32_t message, WParam wParam, LParam lParam) {
  return peer().post(window, message, wParam, lParam);
}
LResult peerSend(Window window, uint32_t message, WParam wParam, LParam lParam) {
  return peer().send(window, message, wParam, lParam);
}
void peerBroadcast(uint32_t message, WParam wParam, LParam lParam) {
  if (peer().published()) peer().broadcast(message, wParam, lParam);
}
Window peerFind(StringView16 className, StringView16 title) {
  return peer().published() ? peer().find(className, title) : Window{};
}
void peerWindowsChanged() { peer().windowsChanged(); }

std::optional<uint32_t> peerRegisterMessage(std::string_view name) {
  if (!peer().published()) return std::nullopt;
  if (name.find_first_of("\n\r") != std::string_view::npos || name.size() > 255) return std::nullopt;
  auto dir = peerDirectory();
  if (!dir) return std::nullopt;
  fs::path path = *dir / "messages";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return std::nullopt;
  std::optional<uint32_t> result;
  if (flock(fd, LOCK_EX) == 0) {
    std::string bytes;
    char buffer[4096];
    ssize_t n;
    while (bytes.size() < kMaxListBytes && (n = read(fd, buffer, sizeof(buffer))) > 0) bytes.append(buffer, n);
    // Lines "number name"; the largest number so far decides the next.
    uint32_t next = kMsgRegisteredFirst;
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
      size_t space = line.find(' ');
      if (space == std::string::npos) continue;
      unsigned long number = std::strtoul(line.c_str(), nullptr, 10);
      if (number < kMsgRegisteredFirst || number > 0xFFFF) continue;
      if (std::string_view(line).substr(space + 1) == name) {
        result = static_cast<uint32_t>(number);
        break;
      }
      next = std::max<uint32_t>(next, static_cast<uint32_t>(number) + 1);
    }
    if (!result && next <= 0xFFFF && bytes.size() < kMaxListBytes) {
      std::string entry = std::to_string(next) + ' ' + std::string(name) + '\n';
      if (lseek(fd, 0, SEEK_END) >= 0 && write(fd, entry.data(), entry.size()) == static_cast<ssize_t>(entry.size())) {
        result = next;
      }
    }
    flock(fd, LOCK_UN);
  }
  close(fd);
  return result;
}

}  // namespace plat::win

namespace plat {

bool publishWindows() {
  {
    auto& reg = win::registry();
    std::lock_guard lock(reg.mutex);
    if (!reg.registeredMessages.empty()) debugOut("window peer: messages registered before publishing keep process-local numbers");
  }
  return win::peer().publish();
}
void unpublishWindows() { win::peer().stop(); }

}  // namespace plat
