// Loads the engine by its module name, installs a virtual clock and a private
// device root, and records the events sinks receive.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "plat/clock.h"
#include "plat/module.h"
#include "plat/paths.h"
#include "plat/text.h"
#include <unistd.h>
#include <functional>
#include "vexo/mc.h"
#include "zant/engine.h"
#include "zant/test_control.h"

namespace enginetest {

struct Received {
  uint32_t code;
  uintptr_t p1;
  uintptr_t p2;
  std::thread::id thread;
};

// A sink that keeps every event; hooks see the raw parameters during the call.
class RecordingSink final : public McObject<IZantMediaEventSink> {
 public:
  Status OnEvent(IMcUnknown*, uint32_t code, uintptr_t p1, uintptr_t p2) override {
    if (hook) hook(code, p1, p2);
    std::lock_guard lock(mutex_);
    events_.push_back({code, p1, p2, std::this_thread::get_id()});
    return plat::S_OK;
  }
  std::vector<Received> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<uint32_t> codes() const {
    std::vector<uint32_t> c;
    for (const auto& e : events()) c.push_back(e.code);
    return c;
  }
  size_t count(uint32_t code) const {
    size_t n = 0;
    for (const auto& e : events()) n += e.code == code;
    return n;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }
  IZantMediaEventSink* sink() { return exposed(); }
  std::function<void(uint32_t, uintptr_t, uintptr_t)> hook;

 private:
  ~RecordingSink() override = default;
  mutable std::mutex mutex_;
  std::vector<Received> events_;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("zant-" + std::to_string(::getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    plat::PathConfig cfg;
    cfg.deviceRoot = root_;
    cfg.programDir = root_ / "program";
    plat::configurePaths(cfg);
    scoped_ = std::make_unique<plat::ScopedClock>(clock_);
    Status s = plat::E_FAIL;
    module_ = plat::loadModule(std::string_view(zant::kEngineModuleName), &s);
    ASSERT_TRUE(module_) << "engine module not found";
    createPlayer_ = module_->function<ZantCreateMediaPlayerFn>(zant::kFactoryMediaPlayer);
    createManager_ = module_->function<ZantCreateDeviceManagerFn>(zant::kFactoryDeviceManager);
    auto getControl = module_->function<ZantGetTestControlFn>(zant::kExportTestControl);
    ASSERT_TRUE(createPlayer_ && createManager_ && getControl);
    ASSERT_EQ(getControl(&IZantTestControl::iid, control_.putVoid()), plat::S_OK);
    control_->SetEventThreading(0);
    control_->ClearFailures();
    control_->ClearCallLog();
    ASSERT_EQ(control_->LoadScenarioText(nullptr, 0), plat::E_POINTER);
    sink_ = McPtr<RecordingSink>::adopt(new RecordingSink());
  }

  void TearDown() override {
    if (player_) {
      player_->CloseSource();
      player_->Disconnect(nullptr, sink_->sink());
    }
    streams_.reset();
    player_.reset();
    manager_.reset();
    if (control_) {
      control_->SetEventThreading(0);
      control_->ClearFailures();
      const Guid none{};
      (void)none;
      control_->Pump(nullptr);
    }
    scoped_.reset();
    std::filesystem::remove_all(root_);
  }

  McPtr<IZantSourceDeviceManager> manager() {
    if (!manager_) {
      EXPECT_EQ(createManager_(&IZantSourceDeviceManager::iid, manager_.putVoid(), 0), plat::S_OK);
    }
    return manager_;
  }

  McPtr<IZantSourceDevice> device(uint32_t typeFilter, uint32_t maskedKind = 0) {
    McPtr<IZantEnum> list;
    EXPECT_EQ(manager()->EnumDevices(typeFilter, list.put()), plat::S_OK);
    for (;;) {
      IMcUnknown* item = nullptr;
      if (!list || list->Next(1, &item, nullptr) != plat::S_OK) return nullptr;
      auto dev = McPtr<IZantSourceDevice>::adopt(static_cast<IZantSourceDevice*>(item));
      uint32_t type = 0;
      dev->GetType(&type);
      if (maskedKind == 0 || (type & ~zant::kSourceClassMask) == maskedKind) return dev;
    }
  }

  // Creates the player and opens the live tuner with the recording sink.
  void openLive() {
    ASSERT_EQ(createPlayer_(&IZantMediaPlayer::iid, player_.putVoid()), plat::S_OK);
    auto tuner = device(zant::kSourceClassLive);
    ASSERT_TRUE(tuner);
    ASSERT_EQ(player_->Open(tuner.get(), 0, nullptr, nullptr, sink_->sink()), plat::S_OK);
    ASSERT_EQ(player_->GetServiceStreams(streams_.put()), plat::S_OK);
    channels_ = mcQuery<IZantChannelManager>(streams_.get());
    store_ = mcQuery<IZantPropertyStore>(streams_.get());
    ASSERT_TRUE(channels_ && store_);
  }

  // Restricts to Tokyo (region 13): the Tokyo line-up without a scan.
  void tokyoLineUp() {
    ASSERT_EQ(store_->Set(zant::kPropRegion, 13), plat::S_OK);
    uint32_t n = 0;
    ASSERT_EQ(channels_->GetCount(&n), plat::S_OK);
    ASSERT_EQ(n, 10u);
  }

  // Makes a device folder and returns its device path.
  std::u16string folder(const char* name) {
    std::filesystem::create_directories(root_ / name);
    return u"\\" + plat::utf8ToUtf16(name);
  }

  // Advances the clock in steps, pumping the engine's timed work.
  void advance(uint64_t ms, uint64_t step = 100) {
    for (uint64_t done = 0; done < ms; done += step) {
      clock_.advance(std::min(step, ms - done));
      control_->Pump(nullptr);
    }
  }

  std::filesystem::path root_;
  plat::VirtualClock clock_;
  std::unique_ptr<plat::ScopedClock> scoped_;
  plat::ModuleHandle module_;
  ZantCreateMediaPlayerFn createPlayer_ = nullptr;
  ZantCreateDeviceManagerFn createManager_ = nullptr;
  McPtr<IZantTestControl> control_;
  McPtr<IZantSourceDeviceManager> manager_;
  McPtr<IZantMediaPlayer> player_;
  McPtr<IZantServiceStreams> streams_;
  McPtr<IZantChannelManager> channels_;
  McPtr<IZantPropertyStore> store_;
  McPtr<RecordingSink> sink_;
};

}  // namespace enginetest
