// Test base for code that runs against the simulated engine: a private device
// root and program folder, a virtual clock, the engine library loaded by its
// module name, and the engine's test-control interface.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "plat/clock.h"
#include "plat/module.h"
#include "plat/paths.h"
#include "vexo/mc.h"
#include "zant/engine.h"
#include "zant/test_control.h"

namespace vexotest {

class EngineTestBase : public ::testing::Test {
 protected:
  // Lays out "<tmp>/<prefix>-<pid>-<test name>" as the device root, installs
  // the virtual clock and loads the engine. eventThreading: 0 delivers engine
  // events on the calling thread (timed work runs in Pump), 1 on an engine
  // thread. Call through ASSERT_NO_FATAL_FAILURE.
  void startEngine(const std::string& prefix, uint32_t eventThreading = 0) {
    root_ = std::filesystem::temp_directory_path() /
            (prefix + "-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    plat::PathConfig cfg;
    cfg.deviceRoot = root_;
    cfg.programDir = root_ / "program";
    plat::configurePaths(cfg);
    scoped_ = std::make_unique<plat::ScopedClock>(clock_);
    engine_ = plat::loadModule(std::string_view(zant::kEngineModuleName));
    ASSERT_TRUE(engine_) << "engine module not found";
    auto getControl = engine_->function<ZantGetTestControlFn>(zant::kExportTestControl);
    ASSERT_TRUE(getControl);
    ASSERT_EQ(getControl(&IZantTestControl::iid, control_.putVoid()), plat::S_OK);
    control_->SetEventThreading(eventThreading);
    control_->ClearFailures();
  }

  // Releases the control interface and the clock and removes the device root;
  // the fixture releases its own objects first.
  void stopEngine() {
    control_.reset();
    scoped_.reset();
    std::filesystem::remove_all(root_);
  }

  std::filesystem::path root_;
  plat::VirtualClock clock_;
  std::unique_ptr<plat::ScopedClock> scoped_;
  plat::ModuleHandle engine_;
  McPtr<IZantTestControl> control_;
};

}  // namespace vexotest
