// SHCreateDirectoryEx: creates each directory along a device path in turn.
#include <string>

#include "VexoCore.h"
#include "plat/file.h"
#include "plat/status.h"
#include "plat/text.h"

namespace {

constexpr int kErrorBadPathname = 161;
constexpr int kErrorAlreadyExists = 183;

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// The system error number inside a status of the 0x8007xxxx family.
int errorCodeOf(plat::Status s) {
  auto u = static_cast<uint32_t>(s);
  if ((u & 0xFFFF0000u) == 0x80070000u) return static_cast<int>(u & 0xFFFF);
  return static_cast<int>(u);
}

}  // namespace

int SHCreateDirectoryEx(plat::Window, const char16_t* path, const void*) {
  if (!path || !path[0]) return kErrorBadPathname;
  // Bounded: a path without a terminator in reach is not a path.
  std::u16string p(path, plat::boundedLength(path, 32768));
  size_t pos = 0;
  while (pos < p.size() && isSeparator(p[pos])) ++pos;
  int last = 0;
  while (pos < p.size()) {
    while (pos < p.size() && !isSeparator(p[pos])) ++pos;
    while (pos < p.size() && isSeparator(p[pos])) ++pos;
    plat::Status s = plat::createDirectory(std::u16string_view(p).substr(0, pos));
    if (s == plat::E_ALREADY_EXISTS) {
      last = kErrorAlreadyExists;
    } else if (plat::failed(s)) {
      return errorCodeOf(s);
    } else {
      last = 0;
    }
  }
  return last;
}
