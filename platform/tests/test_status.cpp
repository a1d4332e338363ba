// Status codes: errno mapping and names.
#include "plat/status.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(Status, SuccessAndFailure) {
  EXPECT_TRUE(plat::succeeded(plat::S_OK));
  EXPECT_TRUE(plat::succeeded(plat::S_FALSE));
  EXPECT_TRUE(plat::failed(plat::E_FAIL));
  EXPECT_TRUE(plat::failed(plat::E_FOLDER_MISSING));
  EXPECT_EQ(static_cast<uint32_t>(plat::E_FOLDER_MISSING), 0x81000001u);
}

TEST(Status, FromErrnoTable) {
  const std::vector<std::pair<int, plat::Status>> cases = {
      {0, plat::S_OK},
      {ENOENT, plat::E_FILE_NOT_FOUND},
      {ENOTDIR, plat::E_PATH_NOT_FOUND},
      {EACCES, plat::E_ACCESS_DENIED},
      {EPERM, plat::E_ACCESS_DENIED},
      {EROFS, plat::E_ACCESS_DENIED},
      {EEXIST, plat::E_ALREADY_EXISTS},
      {ENOSPC, plat::E_DISK_FULL},
      {ENOTEMPTY, plat::E_DIR_NOT_EMPTY},
      {ENOMEM, plat::E_OUTOFMEMORY},
      {EINVAL, plat::E_INVALIDARG},
      {ETIMEDOUT, plat::E_TIMEOUT},
      {EIO, plat::E_FAIL},
      {123456, plat::E_FAIL},
  };
  for (const auto& [err, status] : cases) EXPECT_EQ(plat::statusFromErrno(err), status) << "errno " << err;
}

TEST(Status, Names) {
  EXPECT_STREQ(plat::statusName(plat::S_OK), "S_OK");
  EXPECT_STREQ(plat::statusName(plat::E_FAIL), "E_FAIL");
  EXPECT_STREQ(plat::statusName(plat::E_INVALIDARG), "E_INVALIDARG");
  EXPECT_STREQ(plat::statusName(plat::E_FOLDER_MISSING), "E_FOLDER_MISSING");
  EXPECT_STREQ(plat::statusName(plat::E_TIMEOUT), "E_TIMEOUT");
  EXPECT_STREQ(plat::statusName(static_cast<plat::Status>(0x8123ABCDu)), "0x8123ABCD");
  EXPECT_STREQ(plat::statusName(7), "0x00000007");
}

}  // namespace
