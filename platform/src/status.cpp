// Status codes: errno mapping and diagnostic names.
#include "plat/status.h"

#include <cerrno>
#include <cstdio>

namespace plat {

Status statusFromErrno(int err) {
  switch (err) {
    case 0:
      return S_OK;
    case ENOENT:
      return E_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return E_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return E_ACCESS_DENIED;
    case EEXIST:
      return E_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return E_DISK_FULL;
    case ENOTEMPTY:
      return E_DIR_NOT_EMPTY;
    case ENOMEM:
      return E_OUTOFMEMORY;
    case EINVAL:
    case EISDIR:
    case EBADF:
      return E_INVALIDARG;
    case ETIMEDOUT:
      return E_TIMEOUT;
    case EILSEQ:
      return E_DATA_INVALID;
    case ENOSYS:
    case EOPNOTSUPP:
      return E_NOTIMPL;
    default:
      return E_FAIL;
  }
}

const char* statusName(Status s) {
  struct Named {
    Status status;
    const char* name;
  };
  static constexpr Named kNames[] = {
      {S_OK, "S_OK"},
      {S_FALSE, "S_FALSE"},
      {E_FAIL, "E_FAIL"},
      {E_INVALIDARG, "E_INVALIDARG"},
      {E_POINTER, "E_POINTER"},
      {E_NOINTERFACE, "E_NOINTERFACE"},
      {E_NOTIMPL, "E_NOTIMPL"},
      {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
      {E_UNEXPECTED, "E_UNEXPECTED"},
      {E_FOLDER_MISSING, "E_FOLDER_MISSING"},
      {E_FILE_NOT_FOUND, "E_FILE_NOT_FOUND"},
      {E_PATH_NOT_FOUND, "E_PATH_NOT_FOUND"},
      {E_ACCESS_DENIED, "E_ACCESS_DENIED"},
      {E_ALREADY_EXISTS, "E_ALREADY_EXISTS"},
      {E_DISK_FULL, "E_DISK_FULL"},
      {E_DIR_NOT_EMPTY, "E_DIR_NOT_EMPTY"},
      {E_MOD_NOT_FOUND, "E_MOD_NOT_FOUND"},
      {E_PROC_NOT_FOUND, "E_PROC_NOT_FOUND"},
      {E_TIMEOUT, "E_TIMEOUT"},
      {E_DATA_INVALID, "E_DATA_INVALID"},
  };
  for (const Named& n : kNames)
    if (n.status == s) return n.name;
  // Unknown codes are shown in hex; one buffer per thread keeps the pointer
  // valid until that thread's next call.
  thread_local char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(s));
  return buffer;
}

}  // namespace plat
