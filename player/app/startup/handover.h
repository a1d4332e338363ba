// The single-instance rule and the hand-over of a file name from a second
// start to the running one. Both processes meet in the same private folder
// the window peers use, where "ISDBTPlayerShareMemory" is a 520-byte shared
// mapping of 260 UTF-16 characters. The instance rule itself is the
// platform's single-instance lock named "Norvale Mobile Player".
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "plat/message.h"
#include "plat/text.h"

namespace tunora {

inline constexpr char kInstanceMutexName[] = "Norvale Mobile Player";
inline constexpr char16_t kMainWindowClass[] = u"CPWINDOW";
inline constexpr char16_t kMainWindowTitle[] = u"Tunora";
inline constexpr char kShareMemoryName[] = "ISDBTPlayerShareMemory";
inline constexpr size_t kShareMemoryChars = 260;
inline constexpr size_t kShareMemoryBytes = kShareMemoryChars * sizeof(char16_t);
inline constexpr uint32_t kMsgOpenPendingFile = plat::kMsgUser + 211;

// The folder where instances meet (created when missing).
std::optional<std::filesystem::path> meetingDirectory();

// The text a second start hands over: the command line cut to 259
// characters; a leading double quote is dropped and then a trailing one.
plat::String16 handoverText(plat::StringView16 commandLine);

// The 520-byte shared text, mapped for reading and writing.
class SharedPathMemory {
 public:
  // Creates (or opens) and maps it; null on failure with errno in *error.
  static std::unique_ptr<SharedPathMemory> open(int* error);
  ~SharedPathMemory();
  SharedPathMemory(const SharedPathMemory&) = delete;
  SharedPathMemory& operator=(const SharedPathMemory&) = delete;

  // Clears all 520 bytes and writes text (at most 259 characters).
  void write(plat::StringView16 text);
  // The zero-terminated text held, never longer than 259 characters.
  plat::String16 read() const;

 private:
  SharedPathMemory(int fd, void* view) : fd_(fd), view_(view) {}
  int fd_;
  void* view_;
};

// Second-instance steps: find the running main window; when there is one and
// the command line is not empty, place the text in the shared memory and send
// the open-pending-file message, keeping the memory mapped until the send
// returns. True when the file was handed over.
bool handOverToRunningInstance(plat::StringView16 commandLine);

}  // namespace tunora
