// A scratch device root for tests: device paths "\name" map below a fresh
// host folder, removed afterwards.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "plat/paths.h"
#include "plat/text.h"

class TempDevice {
 public:
  TempDevice() {
    root_ = std::filesystem::temp_directory_path() /
            ("tapfeed-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
    std::filesystem::create_directories(root_ / "prog");
    plat::PathConfig config;
    config.deviceRoot = root_;
    config.programDir = root_ / "prog";
    plat::configurePaths(config);
  }
  ~TempDevice() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  // Writes a file at a device path such as "\a.ts" and returns the path.
  std::u16string write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(root_ / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return plat::utf8ToUtf16("\\" + name);
  }
  const std::filesystem::path& root() const { return root_; }

 private:
  static int& counter() {
    static int n = 0;
    return n;
  }
  std::filesystem::path root_;
};
