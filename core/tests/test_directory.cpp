// SHCreateDirectoryEx over device paths mapped below a scratch device root.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "VexoCore.h"
#include "plat/file.h"
#include "plat/paths.h"

namespace fs = std::filesystem;

namespace {

class CreateDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("vexocore_dir_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    plat::PathConfig config = plat::currentPathConfig();
    config.deviceRoot = root_;
    config.storageCards.clear();
    plat::configurePaths(config);
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

TEST_F(CreateDirectory, CreatesEveryComponentAndReportsAnExistingLastOne) {
  EXPECT_EQ(SHCreateDirectoryEx({}, u"\\A\\B\\C", nullptr), 0);
  EXPECT_TRUE(fs::is_directory(root_ / "A" / "B" / "C"));
  // Going on past directories that exist; the last one existed too.
  EXPECT_EQ(SHCreateDirectoryEx({}, u"\\A\\B\\C", nullptr), 183);
  EXPECT_EQ(SHCreateDirectoryEx({}, u"\\A\\B\\D\\", nullptr), 0);
  EXPECT_TRUE(fs::is_directory(root_ / "A" / "B" / "D"));
  EXPECT_EQ(SHCreateDirectoryEx({}, u"/A//E", nullptr), 0);
  EXPECT_TRUE(fs::is_directory(root_ / "A" / "E"));
}

TEST_F(CreateDirectory, EmptyAndSeparatorOnlyPaths) {
  EXPECT_EQ(SHCreateDirectoryEx({}, u"", nullptr), 161);
  EXPECT_EQ(SHCreateDirectoryEx({}, nullptr, nullptr), 161);
  EXPECT_EQ(SHCreateDirectoryEx({}, u"\\\\\\", nullptr), 0);  // creates nothing
}

TEST_F(CreateDirectory, FailureInTheMiddleStopsWithItsErrorCode) {
  ASSERT_EQ(SHCreateDirectoryEx({}, u"\\F", nullptr), 0);
  ASSERT_EQ(plat::atomicReplace(u"\\F\\file", "x"), plat::S_OK);
  int result = SHCreateDirectoryEx({}, u"\\F\\file\\G", nullptr);
  EXPECT_NE(result, 0);
  EXPECT_NE(result, 183);
  EXPECT_FALSE(fs::exists(root_ / "F" / "file" / "G"));
}

}  // namespace
