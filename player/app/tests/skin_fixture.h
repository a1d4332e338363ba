// A temporary device tree for skin tests: a program directory and a device
// root under a fresh temporary folder, installed as the path configuration.
#pragma once
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "plat/paths.h"

namespace tunora::skin::testing {

class TempDevice {
 public:
  TempDevice() {
    root_ = std::filesystem::temp_directory_path() /
            ("tunora-skin-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "prog");
    saved_ = plat::currentPathConfig();
    plat::PathConfig c;
    c.deviceRoot = root_ / "device";
    c.programDir = root_ / "prog";
    plat::configurePaths(c);
  }
  ~TempDevice() {
    plat::configurePaths(saved_);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  // Writes a file below the program directory ('/'-separated relative path).
  void write(const std::string& relative, const std::string& bytes) const {
    const auto p = root_ / "prog" / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
  }
  void remove(const std::string& relative) const { std::filesystem::remove(root_ / "prog" / relative); }
  std::filesystem::path prog() const { return root_ / "prog"; }
  // "\Program Files\Tunora\" as the device sees it.
  static std::u16string progDevice() { return plat::programDirectory(); }

 private:
  static int& counter() {
    static int n = 0;
    return n;
  }
  std::filesystem::path root_;
  plat::PathConfig saved_;
};

}  // namespace tunora::skin::testing
