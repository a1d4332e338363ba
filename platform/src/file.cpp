// Files and folders by device path, on POSIX file descriptors with 64-bit
// offsets. Every saved file goes through atomicReplace*: the new contents are
// written to a temporary file beside the target, flushed, renamed over it and
// the folder is flushed, so a crash or a failure leaves either the old or the
// new file, never a mix.
#include "plat/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>

#include "plat/debug.h"
#include "plat/paths.h"

namespace plat {
namespace fs = std::filesystem;

namespace {

struct FileHooks {
  std::mutex mutex;
  AtomicReplaceFault fault;
  DiskSpaceProvider diskSpace;
};

FileHooks& hooks() {
  static FileHooks h;
  return h;
}

Status errnoStatus(int err) {
  switch (err) {
    case ENOENT: return E_FILE_NOT_FOUND;
    case ENOTDIR: return E_PATH_NOT_FOUND;
    case EEXIST: return E_ALREADY_EXISTS;
    case ENOTEMPTY: return E_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT: return E_DISK_FULL;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return E_ACCESS_DENIED;
    default: return statusFromErrno(err);
  }
}

// ENOENT means the file is missing when its folder exists, else the path.
Status missingStatus(const fs::path& host) {
  struct stat st;
  if (::stat(host.parent_path().c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return E_FILE_NOT_FOUND;
  return E_PATH_NOT_FOUND;
}

Status pathStatus(const fs::path& host, int err) {
  return err == ENOENT ? missingStatus(host) : errnoStatus(err);
}

std::optional<fs::path> hostOf(StringView16 devicePath) { return toHostPath(devicePath); }

FileTime toFileTime(const struct timespec& ts) {
  return kFileTimeUnixEpoch + static_cast<FileTime>(ts.tv_sec) * kFileTimePerSecond +
         static_cast<FileTime>(ts.tv_nsec / 100);
}

bool isStorageCardRoot(const fs::path& host) {
  for (const auto& card : storageCards())
    if (card.hostDir == host) return true;
  return false;
}

bool isProtectedRoot(const fs::path& host) {
  PathConfig config = currentPathConfig();
  return host == config.deviceRoot || host == config.programDir || isStorageCardRoot(host);
}

uint32_t attributesOf(const struct stat& st, const String16& name) {
  uint32_t attr = 0;
  if (S_ISDIR(st.st_mode)) {
    attr |= kAttrDirectory;
  } else {
    attr |= kAttrArchive;
  }
  if ((st.st_mode & S_IWUSR) == 0) attr |= kAttrReadOnly;
  if (!name.empty() && name.front() == u'.') attr |= kAttrHidden;
  return attr;
}

// stat that follows links, falling back to the link itself when dangling.
bool statEntry(const fs::path& host, struct stat* st) {
  return ::stat(host.c_str(), st) == 0 || ::lstat(host.c_str(), st) == 0;
}

char16_t foldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// The pattern's tail can match an empty rest of a name: '*' runs, and a '.'
// followed only by '*' (so "*.*" and "a.*" match names without a dot).
bool tailMatchesEmpty(StringView16 pattern, size_t p) {
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  if (p + 1 < pattern.size() && pattern[p] == u'.' && pattern[p + 1] == u'*') {
    p += 2;
    while (p < pattern.size() && pattern[p] == u'*') ++p;
  }
  return p == pattern.size();
}

Status fsyncFolder(const fs::path& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errnoStatus(errno);
  int rc = ::fsync(fd);
  int err = errno;
  ::close(fd);
  // Some file systems cannot sync a folder; the rename itself has happened.
  if (rc != 0 && err != EINVAL && err != EROFS) return errnoStatus(err);
  return S_OK;
}

std::atomic<uint32_t> tempCounter{0};

Status replaceHost(const fs::path& target, const TempFileWriter& writer, bool useFaultHook) {
  if (target.empty() || !target.has_filename()) return E_INVALIDARG;
  fs::path dir = target.parent_path();
  struct stat dirSt;
  if (::stat(dir.c_str(), &dirSt) != 0 || !S_ISDIR(dirSt.st_mode)) return E_PATH_NOT_FOUND;

  // Keep the permissions of the file being replaced.
  mode_t mode = 0644;
  struct stat targetSt;
  if (::stat(target.c_str(), &targetSt) == 0) {
    if (S_ISDIR(targetSt.st_mode)) return E_ACCESS_DENIED;
    mode = targetSt.st_mode & 07777;
  }

  fs::path temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = dir / ("." + target.filename().string() + ".tmp" + std::to_string(::getpid()) + "-" +
                  std::to_string(tempCounter.fetch_add(1)));
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) return errnoStatus(errno);
  }
  if (fd < 0) return E_FAIL;
  ::fchmod(fd, mode);  // open() applied the umask
  ::close(fd);

  auto fail = [&](Status s) {
    ::unlink(temp.c_str());
    return s;
  };

  Status s = writer(temp);
  if (failed(s)) return fail(s);
  {
    File f;
    s = f.openHost(temp, FileAccess::Write, FileDisposition::OpenExisting);
    if (failed(s)) return fail(s);
    s = f.flush();
    if (failed(s)) return fail(s);
  }
  if (useFaultHook) {
    AtomicReplaceFault fault;
    {
      std::lock_guard lock(hooks().mutex);
      fault = hooks().fault;
    }
    if (fault) {
      s = fault(temp);
      if (failed(s)) return fail(s);
    }
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) return fail(errnoStatus(errno));
  return fsyncFolder(dir);
}

Status writeAll(const fs::path& temp, std::string_view bytes) {
  File f;
  Status s = f.openHost(temp, FileAccess::Write, FileDisposition::TruncateExisting);
  if (failed(s)) return s;
  return f.write(bytes.data(), bytes.size());
}

// Copies a regular file into a temporary file beside the target and renames
// it into place, so a failed copy never leaves a half-written target.
Status copyHost(const fs::path& from, const fs::path& to, bool failIfExists) {
  struct stat st;
  if (::stat(from.c_str(), &st) != 0) return pathStatus(from, errno);
  if (!S_ISREG(st.st_mode)) return E_ACCESS_DENIED;
  struct stat toSt;
  if (::stat(to.c_str(), &toSt) == 0) {
    if (failIfExists) return E_ALREADY_EXISTS;
    if (toSt.st_dev == st.st_dev && toSt.st_ino == st.st_ino) return S_OK;  // same file
  }
  auto copier = [&](const fs::path& temp) -> Status {
    File in;
    Status s = in.openHost(from, FileAccess::Read, FileDisposition::OpenExisting);
    if (failed(s)) return s;
    File out;
    s = out.openHost(temp, FileAccess::Write, FileDisposition::TruncateExisting);
    if (failed(s)) return s;
    std::vector<char> buffer(1 << 16);
    for (;;) {
      size_t done = 0;
      s = in.read(buffer.data(), buffer.size(), &done);
      if (failed(s)) return s;
      if (done == 0) break;
      s = out.write(buffer.data(), done);
      if (failed(s)) return s;
    }
    out.close();
    ::chmod(temp.c_str(), st.st_mode & 07777);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, temp.c_str(), times, 0);
    return S_OK;
  };
  return replaceHost(to, copier, false);
}

}  // namespace

// ---- File -------------------------------------------------------------------

File::~File() { close(); }

File::File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

Status File::open(StringView16 devicePath, FileAccess access, FileDisposition disposition) {
  std::optional<fs::path> host = hostOf(devicePath);
  if (!host) return E_INVALIDARG;
  return openHost(*host, access, disposition);
}

Status File::openHost(const fs::path& hostPath, FileAccess access, FileDisposition disposition) {
  close();
  int flags = O_CLOEXEC;
  switch (access) {
    case FileAccess::Read: flags |= O_RDONLY; break;
    case FileAccess::Write: flags |= O_WRONLY; break;
    case FileAccess::ReadWrite: flags |= O_RDWR; break;
  }
  bool truncates = disposition == FileDisposition::CreateAlways ||
                   disposition == FileDisposition::TruncateExisting;
  // Truncating needs write access; POSIX leaves O_TRUNC with O_RDONLY undefined.
  if (truncates && access == FileAccess::Read) return E_INVALIDARG;
  switch (disposition) {
    case FileDisposition::CreateNew: flags |= O_CREAT | O_EXCL; break;
    case FileDisposition::CreateAlways: flags |= O_CREAT | O_TRUNC; break;
    case FileDisposition::OpenExisting: break;
    case FileDisposition::OpenAlways: flags |= O_CREAT; break;
    case FileDisposition::TruncateExisting: flags |= O_TRUNC; break;
  }
  int fd;
  do {
    fd = ::open(hostPath.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return pathStatus(hostPath, errno);
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return E_ACCESS_DENIED;  // a folder is not a file
  }
  fd_ = fd;
  return S_OK;
}

void File::close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

Status File::read(void* buffer, size_t size, size_t* done) {
  if (done) *done = 0;
  if (fd_ < 0) return E_UNEXPECTED;
  if (!buffer && size > 0) return E_POINTER;
  size_t total = 0;
  auto* p = static_cast<char*>(buffer);
  while (total < size) {
    ssize_t n = ::read(fd_, p + total, size - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (done) *done = total;
      return errnoStatus(errno);
    }
    if (n == 0) break;
    total += static_cast<size_t>(n);
  }
  if (done) *done = total;
  return S_OK;
}

Status File::write(const void* buffer, size_t size) {
  if (fd_ < 0) return E_UNEXPECTED;
  if (!buffer && size > 0) return E_POINTER;
  size_t total = 0;
  auto* p = static_cast<const char*>(buffer);
  while (total < size) {
    ssize_t n = ::write(fd_, p + total, size - total);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errnoStatus(errno);
    }
    if (n == 0) return E_DISK_FULL;
    total += static_cast<size_t>(n);
  }
  return S_OK;
}

Status File::seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) {
  if (fd_ < 0) return E_UNEXPECTED;
  int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  off_t pos = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (pos < 0) return errno == EINVAL ? E_INVALIDARG : errnoStatus(errno);
  if (newPosition) *newPosition = static_cast<uint64_t>(pos);
  return S_OK;
}

Status File::position(uint64_t* position) const {
  if (fd_ < 0) return E_UNEXPECTED;
  if (!position) return E_POINTER;
  off_t pos = ::lseek(fd_, 0, SEEK_CUR);
  if (pos < 0) return errnoStatus(errno);
  *position = static_cast<uint64_t>(pos);
  return S_OK;
}

Status File::size(uint64_t* size) const {
  if (fd_ < 0) return E_UNEXPECTED;
  if (!size) return E_POINTER;
  struct stat st;
  if (::fstat(fd_, &st) != 0) return errnoStatus(errno);
  *size = static_cast<uint64_t>(st.st_size);
  return S_OK;
}

Status File::truncateHere() {
  uint64_t pos = 0;
  Status s = position(&pos);
  if (failed(s)) return s;
  if (::ftruncate(fd_, static_cast<off_t>(pos)) != 0) return errnoStatus(errno);
  return S_OK;
}

Status File::flush() {
  if (fd_ < 0) return E_UNEXPECTED;
  if (::fsync(fd_) != 0) return errnoStatus(errno);
  return S_OK;
}

// ---- names and listings -----------------------------------------------------

bool wildcardMatch(StringView16 pattern, StringView16 name) {
  size_t p = 0, n = 0;
  size_t starP = StringView16::npos, starN = 0;
  for (;;) {
    if (n < name.size()) {
      if (p < pattern.size() && pattern[p] == u'*') {
        starP = p++;
        starN = n;
        continue;
      }
      if (p < pattern.size() && (pattern[p] == u'?' || foldAscii(pattern[p]) == foldAscii(name[n]))) {
        ++p;
        ++n;
        continue;
      }
    } else if (tailMatchesEmpty(pattern, p)) {
      return true;
    }
    // Mismatch (or an unmatched tail): let the last '*' take one more character.
    if (starP == StringView16::npos || starN >= name.size()) return false;
    p = starP + 1;
    n = ++starN;
  }
}

Status findFiles(StringView16 devicePattern, std::vector<FindEntry>* entries) {
  if (!entries) return E_POINTER;
  entries->clear();
  String16 pattern = deviceFileNameOf(devicePattern);
  if (pattern.empty()) return E_INVALIDARG;
  String16 dir = deviceDirectoryOf(devicePattern);
  std::optional<String16> normalDir = normalizeDevicePath(dir);
  if (!normalDir) return E_INVALIDARG;
  std::optional<fs::path> host = hostOf(*normalDir);
  if (!host) return E_INVALIDARG;
  struct stat st;
  if (::stat(host->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return E_PATH_NOT_FOUND;

  DIR* d = ::opendir(host->c_str());
  if (!d) return errnoStatus(errno);
  while (struct dirent* e = ::readdir(d)) {
    std::string hostName = e->d_name;
    if (hostName == "." || hostName == "..") continue;
    String16 name = utf8ToUtf16(hostName);
    if (!wildcardMatch(pattern, name)) continue;
    struct stat est;
    if (!statEntry(*host / hostName, &est)) continue;  // vanished meanwhile
    FindEntry entry;
    entry.name = name;
    entry.attributes = attributesOf(est, name);
    entry.size = S_ISDIR(est.st_mode) ? 0 : static_cast<uint64_t>(est.st_size);
    entry.lastWrite = toFileTime(est.st_mtim);
    entries->push_back(std::move(entry));
  }
  ::closedir(d);

  // The root shows each storage card as a folder carrying the card marker.
  if (*normalDir == u"\\") {
    for (const auto& card : storageCards()) {
      if (!wildcardMatch(pattern, card.name)) continue;
      auto it = std::find_if(entries->begin(), entries->end(),
                             [&](const FindEntry& e) { return equalsNoCase(e.name, card.name); });
      if (it == entries->end()) {
        FindEntry entry;
        entry.name = card.name;
        struct stat cst;
        if (::stat(card.hostDir.c_str(), &cst) == 0) entry.lastWrite = toFileTime(cst.st_mtim);
        it = entries->insert(entries->end(), std::move(entry));
      }
      it->attributes = kAttrDirectory | kAttrTemporary;
      it->size = 0;
    }
  }
  std::sort(entries->begin(), entries->end(), [](const FindEntry& a, const FindEntry& b) {
    int c = compareNoCase(a.name, b.name);
    return c != 0 ? c < 0 : a.name < b.name;
  });
  return S_OK;
}

Status getFileInfo(StringView16 devicePath, FindEntry* info) {
  if (!info) return E_POINTER;
  std::optional<fs::path> host = hostOf(devicePath);
  if (!host) return E_INVALIDARG;
  struct stat st;
  if (!statEntry(*host, &st)) return pathStatus(*host, errno);
  FindEntry entry;
  entry.name = utf8ToUtf16(host->filename().string());
  entry.attributes = attributesOf(st, entry.name);
  if (S_ISDIR(st.st_mode) && isStorageCardRoot(*host)) entry.attributes |= kAttrTemporary;
  entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  entry.lastWrite = toFileTime(st.st_mtim);
  *info = std::move(entry);
  return S_OK;
}

Status getAttributes(StringView16 devicePath, uint32_t* attributes) {
  if (!attributes) return E_POINTER;
  FindEntry info;
  Status s = getFileInfo(devicePath, &info);
  if (succeeded(s)) *attributes = info.attributes;
  return s;
}

bool fileExists(StringView16 devicePath) {
  std::optional<fs::path> host = hostOf(devicePath);
  struct stat st;
  return host && ::stat(host->c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool directoryExists(StringView16 devicePath) {
  std::optional<fs::path> host = hostOf(devicePath);
  struct stat st;
  return host && ::stat(host->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ---- folder and file operations ---------------------------------------------

Status createDirectory(StringView16 devicePath) {
  std::optional<fs::path> host = hostOf(devicePath);
  if (!host) return E_INVALIDARG;
  if (::mkdir(host->c_str(), 0777) != 0) {
    return errno == ENOENT ? E_PATH_NOT_FOUND : errnoStatus(errno);
  }
  return S_OK;
}

Status createDirectories(StringView16 devicePath) {
  std::optional<fs::path> host = hostOf(devicePath);
  if (!host) return E_INVALIDARG;
  std::error_code ec;
  fs::create_directories(*host, ec);
  struct stat st;
  if (::stat(host->c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? S_OK : E_ALREADY_EXISTS;
  return ec ? errnoStatus(ec.value()) : E_FAIL;
}

Status removeDirectory(StringView16 devicePath) {
  std::optional<fs::path> host = hostOf(devicePath);
  if (!host) return E_INVALIDARG;
  if (isProtectedRoot(*host)) return E_ACCESS_DENIED;  // roots are not ours to remove
  if (::rmdir(host->c_str()) != 0) {
    int err = errno;
    if (err == EEXIST) return E_DIR_NOT_EMPTY;
    return err == ENOENT ? missingStatus(*host) : errnoStatus(err);
  }
  return S_OK;
}

Status deleteFile(StringView16 devicePath) {
  std::optional<fs::path> host = hostOf(devicePath);
  if (!host) return E_INVALIDARG;
  struct stat st;
  if (::lstat(host->c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return E_ACCESS_DENIED;
  if (::unlink(host->c_str()) != 0) return pathStatus(*host, errno);
  return S_OK;
}

Status copyFile(StringView16 from, StringView16 to, bool failIfExists) {
  std::optional<fs::path> src = hostOf(from);
  std::optional<fs::path> dst = hostOf(to);
  if (!src || !dst) return E_INVALIDARG;
  return copyHost(*src, *dst, failIfExists);
}

Status moveFile(StringView16 from, StringView16 to) {
  std::optional<fs::path> src = hostOf(from);
  std::optional<fs::path> dst = hostOf(to);
  if (!src || !dst) return E_INVALIDARG;
  if (isProtectedRoot(*src)) return E_ACCESS_DENIED;
  struct stat st;
  if (::lstat(src->c_str(), &st) != 0) return pathStatus(*src, errno);
  // A move never replaces an existing target. The target found may be the
  // source itself under another spelling: then the move renames it to the
  // spelling given.
  struct stat dstSt;
  if (::lstat(dst->c_str(), &dstSt) == 0) {
    if (dstSt.st_dev != st.st_dev || dstSt.st_ino != st.st_ino) return E_ALREADY_EXISTS;
    String16 given = deviceFileNameOf(normalizeDevicePath(to).value_or(String16()));
    if (given.empty()) return E_ACCESS_DENIED;
    dst = dst->parent_path() / utf16ToUtf8(given);
  }
  if (::rename(src->c_str(), dst->c_str()) == 0) return S_OK;
  if (errno != EXDEV) return pathStatus(*dst, errno);

  // Across file systems: copy, then remove the source only once the copy is whole.
  if (S_ISDIR(st.st_mode)) {
    std::error_code ec;
    fs::copy(*src, *dst, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
      std::error_code ignored;
      fs::remove_all(*dst, ignored);
      return errnoStatus(ec.value());
    }
    fs::remove_all(*src, ec);
    return ec ? errnoStatus(ec.value()) : S_OK;
  }
  Status s = copyHost(*src, *dst, true);
  if (failed(s)) return s;
  if (::unlink(src->c_str()) != 0) return errnoStatus(errno);
  return S_OK;
}

// ---- whole files -------------------------------------------------------------

Status readWholeFileHost(const fs::path& hostPath, std::string* bytes, uint64_t maxBytes) {
  if (!bytes) return E_POINTER;
  bytes->clear();
  File f;
  Status s = f.openHost(hostPath, FileAccess::Read, FileDisposition::OpenExisting);
  if (failed(s)) return s;
  uint64_t size = 0;
  s = f.size(&size);
  if (failed(s)) return s;
  if (size > maxBytes) return E_DATA_INVALID;
  std::string data;
  data.reserve(static_cast<size_t>(size));
  char buffer[1 << 16];
  for (;;) {
    size_t done = 0;
    s = f.read(buffer, sizeof buffer, &done);
    if (failed(s)) return s;
    if (done == 0) break;
    if (data.size() + done > maxBytes) return E_DATA_INVALID;  // grew while read
    data.append(buffer, done);
  }
  *bytes = std::move(data);
  return S_OK;
}

Status readWholeFile(StringView16 devicePath, std::string* bytes, uint64_t maxBytes) {
  std::optional<fs::path> host = hostOf(devicePath);
  if (!host) return E_INVALIDARG;
  return readWholeFileHost(*host, bytes, maxBytes);
}

Status atomicReplaceWithHost(const fs::path& hostPath, const TempFileWriter& writer) {
  if (!writer) return E_INVALIDARG;
  return replaceHost(hostPath, writer, true);
}

Status atomicReplaceWith(StringView16 devicePath, const TempFileWriter& writer) {
  std::optional<fs::path> host = hostOf(devicePath);
  if (!host) return E_INVALIDARG;
  return atomicReplaceWithHost(*host, writer);
}

Status atomicReplaceHost(const fs::path& hostPath, std::string_view bytes) {
  return replaceHost(hostPath, [bytes](const fs::path& temp) { return writeAll(temp, bytes); }, true);
}

Status atomicReplace(StringView16 devicePath, std::string_view bytes) {
  std::optional<fs::path> host = hostOf(devicePath);
  if (!host) return E_INVALIDARG;
  return atomicReplaceHost(*host, bytes);
}

void setAtomicReplaceFault(AtomicReplaceFault fault) {
  std::lock_guard lock(hooks().mutex);
  hooks().fault = std::move(fault);
}

// ---- disk space --------------------------------------------------------------

Status diskFreeSpace(StringView16 devicePath, DiskSpace* space) {
  if (!space) return E_POINTER;
  std::optional<fs::path> host = hostOf(devicePath);
  if (!host) return E_INVALIDARG;
  DiskSpaceProvider provider;
  {
    std::lock_guard lock(hooks().mutex);
    provider = hooks().diskSpace;
  }
  if (provider) return provider(*host, space);
  // A path that does not exist yet is on the file system of its nearest
  // existing folder.
  fs::path probe = *host;
  struct statvfs vfs;
  while (::statvfs(probe.c_str(), &vfs) != 0) {
    if (errno != ENOENT || !probe.has_parent_path() || probe.parent_path() == probe)
      return errnoStatus(errno);
    probe = probe.parent_path();
  }
  uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  space->freeToCaller = static_cast<uint64_t>(vfs.f_bavail) * unit;
  space->total = static_cast<uint64_t>(vfs.f_blocks) * unit;
  space->totalFree = static_cast<uint64_t>(vfs.f_bfree) * unit;
  return S_OK;
}

void setDiskSpaceProvider(DiskSpaceProvider provider) {
  std::lock_guard lock(hooks().mutex);
  hooks().diskSpace = std::move(provider);
}

}  // namespace plat
