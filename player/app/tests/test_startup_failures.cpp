// What the user sees when start-up cannot go on before any skin is loaded:
// the program, copied into a folder of its own, meets an engine library
// without one of its factories, an engine file that does not load, or a
// program folder without skins. Each shows its fixed text and exits 0.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/startup/app.h"

namespace tunora {
namespace {

namespace fs = std::filesystem;

class StartupFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tunora-failures-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "prog");
    fs::create_directories(root_ / "peers");
    fs::create_directories(root_ / "runtime");
    fs::permissions(root_ / "peers", fs::perms::owner_all);
    fs::permissions(root_ / "runtime", fs::perms::owner_all);
    fs::copy_file(fs::path(TUNORA_PROGRAM_DIR) / "Tunora", root_ / "prog" / "Tunora");
    fs::copy_file(fs::path(TUNORA_PROGRAM_DIR) / "Setting.xml", root_ / "prog" / "Setting.xml");
  }
  void TearDown() override { fs::remove_all(root_); }

  // Runs the copied program; returns its exit status and what it wrote.
  int run(std::string* errors) {
    const fs::path err = root_ / "err.txt";
    const std::string cmd = "TUNORA_WINDOW_PEER_DIR='" + (root_ / "peers").string() + "' XDG_RUNTIME_DIR='" +
                            (root_ / "runtime").string() + "' '" + (root_ / "prog" / "Tunora").string() +
                            "' --headless --screenshot '" + (root_ / "f.png").string() + "' --device-root '" +
                            (root_ / "device").string() + "' >/dev/null 2>'" + err.string() + "'";
    const int status = std::system(cmd.c_str());
    std::ifstream in(err);
    *errors = std::string((std::istreambuf_iterator<char>(in)), {});
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path root_;
};

TEST_F(StartupFailures, EngineWithoutAFactory) {
  fs::copy_file(FAKE_ENGINE_PATH, root_ / "prog" / "libZANTSDK.so");
  std::string errors;
  EXPECT_EQ(run(&errors), 0);
  EXPECT_NE(errors.find(kTextSdkMissing), std::string::npos) << errors;
  EXPECT_FALSE(fs::exists(root_ / "f.png"));
}

TEST_F(StartupFailures, EngineThatDoesNotLoad) {
  std::ofstream(root_ / "prog" / "libZANTSDK.so") << "not a library";
  std::string errors;
  EXPECT_EQ(run(&errors), 0);
  EXPECT_NE(errors.find(kTextSdkMissing), std::string::npos) << errors;
}

TEST_F(StartupFailures, NoSkins) {
  fs::copy_file(fs::path(TUNORA_PROGRAM_DIR) / "libZANTSDK.so", root_ / "prog" / "libZANTSDK.so");
  std::string errors;
  EXPECT_EQ(run(&errors), 0);
  EXPECT_NE(errors.find(kTextFilesCorrupt), std::string::npos) << errors;
  EXPECT_EQ(errors.find(kTextSdkMissing), std::string::npos) << errors;
}

}  // namespace
}  // namespace tunora
