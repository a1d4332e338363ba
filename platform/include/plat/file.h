// Files and folders by device path (see paths.h): open, read, write and seek
// with 64-bit offsets, attributes, listings with wildcard patterns, folder
// operations, free disk space and the atomic replace that every saved file
// goes through (write a temporary file beside it, flush, rename over it).
// A device path that is not rooted at '\' or climbs above it is refused with
// E_INVALIDARG; a missing folder on the way gives E_PATH_NOT_FOUND.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plat/clock.h"
#include "plat/status.h"
#include "plat/text.h"

namespace plat {

// Attribute bits as the device reports them for a file or folder.
enum FileAttributes : uint32_t {
  kAttrReadOnly = 0x1,
  kAttrHidden = 0x2,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,    // every regular file
  kAttrTemporary = 0x100, // the marker a storage card's root folder carries
};

enum class FileAccess { Read, Write, ReadWrite };
enum class FileDisposition {
  CreateNew,        // fails with E_ALREADY_EXISTS when present
  CreateAlways,     // creates or truncates
  OpenExisting,     // fails with E_FILE_NOT_FOUND when absent
  OpenAlways,       // opens or creates
  TruncateExisting, // must exist; truncated
};
enum class SeekOrigin { Begin, Current, End };

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // A folder cannot be opened (E_ACCESS_DENIED); the truncating dispositions
  // need write access (E_INVALIDARG with FileAccess::Read).
  Status open(StringView16 devicePath, FileAccess access, FileDisposition disposition);
  Status openHost(const std::filesystem::path& hostPath, FileAccess access, FileDisposition disposition);
  void close();
  bool isOpen() const { return fd_ >= 0; }

  // Reads up to size bytes; *done gets the count (0 at end of file).
  Status read(void* buffer, size_t size, size_t* done);
  // Writes all size bytes or fails (E_DISK_FULL when the disk is full).
  Status write(const void* buffer, size_t size);
  Status seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition = nullptr);
  Status position(uint64_t* position) const;
  Status size(uint64_t* size) const;
  Status truncateHere();  // end of file at the current position
  Status flush();          // data reaches the disk (fsync)

 private:
  int fd_ = -1;
};

struct FindEntry {
  String16 name;  // last component, as spelled on the host
  uint32_t attributes = 0;
  uint64_t size = 0;
  FileTime lastWrite = 0;
};

// Wildcard match the device's way: '*' any run, '?' one character, ASCII
// letters without regard to case. "*.*" matches names without a dot too.
bool wildcardMatch(StringView16 pattern, StringView16 name);

// Lists a folder: devicePattern is a folder path plus a pattern in its last
// component ("\Storage Card\*.ts"). Entries come sorted by name, without "."
// and "..". Listing "\*" shows the storage cards with kAttrTemporary. S_OK
// with no entries when nothing matches; E_PATH_NOT_FOUND without the folder.
Status findFiles(StringView16 devicePattern, std::vector<FindEntry>* entries);

Status getAttributes(StringView16 devicePath, uint32_t* attributes);
bool fileExists(StringView16 devicePath);       // a regular file
bool directoryExists(StringView16 devicePath);  // a folder
Status getFileInfo(StringView16 devicePath, FindEntry* info);

Status createDirectory(StringView16 devicePath);      // parent must exist; E_ALREADY_EXISTS if present
Status createDirectories(StringView16 devicePath);    // with parents; S_OK if present
Status removeDirectory(StringView16 devicePath);      // must be empty; never a root
Status deleteFile(StringView16 devicePath);
Status copyFile(StringView16 from, StringView16 to, bool failIfExists);
// Renames (E_ALREADY_EXISTS rather than replacing a file); copies across file systems.
Status moveFile(StringView16 from, StringView16 to);

// Whole-file helpers; reads refuse files larger than maxBytes (E_DATA_INVALID).
Status readWholeFile(StringView16 devicePath, std::string* bytes, uint64_t maxBytes = 64ull << 20);
Status readWholeFileHost(const std::filesystem::path& hostPath, std::string* bytes,
                         uint64_t maxBytes = 64ull << 20);

// Replaces the file's contents as one step: on any failure the old file is
// left whole and the temporary file is removed.
Status atomicReplace(StringView16 devicePath, std::string_view bytes);
Status atomicReplaceHost(const std::filesystem::path& hostPath, std::string_view bytes);
// Same, for writers that want a file name (libxml2's save functions): writer
// fills tempHostPath and returns a status; the result is flushed and renamed.
using TempFileWriter = std::function<Status(const std::filesystem::path& tempHostPath)>;
Status atomicReplaceWith(StringView16 devicePath, const TempFileWriter& writer);
Status atomicReplaceWithHost(const std::filesystem::path& hostPath, const TempFileWriter& writer);

// Test hook: called after the temporary file is written and flushed and before
// the rename; a failure status aborts the replace. Empty function removes it.
using AtomicReplaceFault = std::function<Status(const std::filesystem::path& tempHostPath)>;
void setAtomicReplaceFault(AtomicReplaceFault fault);

struct DiskSpace {
  uint64_t freeToCaller = 0;
  uint64_t total = 0;
  uint64_t totalFree = 0;
};
// Free space of the file system holding devicePath (statvfs), or what the
// injected provider says.
Status diskFreeSpace(StringView16 devicePath, DiskSpace* space);
using DiskSpaceProvider = std::function<Status(const std::filesystem::path& hostPath, DiskSpace* space)>;
void setDiskSpaceProvider(DiskSpaceProvider provider);

}  // namespace plat
