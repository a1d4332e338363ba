// A test fixture that installs a fresh temporary device root (with a program
// folder and one storage card) and restores the previous path configuration
// and registry cache afterwards.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "plat/paths.h"
#include "plat/registry.h"

namespace plat::testing {

// The default configuration would create folders in the user's home; the
// test process points it at a temporary folder removed at exit instead.
inline void useTemporaryDefaultRoot() {
  struct DefaultRoot {
    std::filesystem::path dir;
    DefaultRoot() {
      dir = std::filesystem::temp_directory_path() / ("tunora-test-default-" + std::to_string(::getpid()));
      ::setenv("TUNORA_DEVICE_ROOT", dir.c_str(), 1);
      ::unsetenv("TUNORA_STORAGE_CARD");
    }
    ~DefaultRoot() {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    }
  };
  static DefaultRoot once;
}

class DeviceRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    useTemporaryDefaultRoot();
    previous_ = currentPathConfig();
    std::string tmpl = (std::filesystem::temp_directory_path() / "tunora-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    base_ = tmpl;
    PathConfig config;
    config.deviceRoot = base_ / "root";
    config.programDir = base_ / "program";
    config.storageCards.push_back({u"Storage Card", base_ / "card"});
    std::filesystem::create_directories(config.programDir);
    configurePaths(config);
    regReload();
  }

  void TearDown() override {
    regReload();
    configurePaths(previous_);
    std::error_code ec;
    std::filesystem::remove_all(base_, ec);
  }

  std::filesystem::path root() const { return base_ / "root"; }
  std::filesystem::path program() const { return base_ / "program"; }
  std::filesystem::path card() const { return base_ / "card"; }

  static void writeHost(const std::filesystem::path& p, const std::string& bytes) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
  }
  static std::string readHost(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path base_;
  PathConfig previous_;
};

}  // namespace plat::testing
