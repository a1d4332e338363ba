// The source manager sink registered with the real source manager, over the
// simulated engine delivering on its own thread: device reports reach the
// windows as events on the user-interface thread, in order, and stop after
// the sink is unregistered.
#include <gtest/gtest.h>

#include "engine_test_base.h"
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "VexoCore.h"
#include "VexoEvents.h"
#include "app/translate/event_translation.h"
#include "plat/clock.h"
#include "plat/message.h"
#include "plat/module.h"
#include "plat/paths.h"
#include "vexo/source_manager.h"
#include "zant/test_control.h"

namespace {

class Recorder : public VexoObject {
 public:
  struct Seen {
    unsigned type;
    void* context;
    std::thread::id thread;
  };
  bool Event(VexoEvent* e) override {
    void* context = nullptr;
    if (e->Type() == VexoEventSourceRemoved::kType) context = static_cast<VexoEventSourceRemoved*>(e)->GetSourceContext();
    std::lock_guard lock(mutex_);
    seen_.push_back({e->Type(), context, std::this_thread::get_id()});
    return false;
  }
  std::vector<Seen> seen() {
    std::lock_guard lock(mutex_);
    return seen_;
  }

 private:
  std::mutex mutex_;
  std::vector<Seen> seen_;
};

std::u16string deviceName(void* context) {
  auto device = mcQuery<IZantSourceDevice>(static_cast<IMcUnknown*>(context));
  if (!device) return u"<not a device>";
  char16_t name[64] = {};
  uint32_t length = 64;
  device->GetName(name, &length);
  return name;
}

class SourceEvents : public vexotest::EngineTestBase {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(startEngine("translate-sources", 1));
    ASSERT_EQ(CoCreateVexoCmnSourceManager(manager_.put()), plat::S_OK);
    plat::pumpPendingMessages();
  }
  void TearDown() override {
    manager_.reset();
    if (control_) {
      control_->SetDevicePresent(1, 1);
      control_->SetEventThreading(0);
    }
    control_.reset();
    plat::pumpPendingMessages();
    scoped_.reset();
    std::filesystem::remove_all(root_);
  }

  // Runs the message loop until the recorder has seen count events. The
  // deadline only keeps a broken build from hanging; nothing is timed.
  std::vector<Recorder::Seen> waitFor(size_t count) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (recorder_.seen().size() < count && std::chrono::steady_clock::now() < deadline) {
      if (plat::pumpPendingMessages() == 0) std::this_thread::yield();
    }
    plat::pumpPendingMessages();
    return recorder_.seen();
  }

  McPtr<IVexoCmnSourceManager> manager_;
  Recorder recorder_;
};

TEST_F(SourceEvents, DeviceReportsArriveOnTheInterfaceThread) {
  auto sink = McPtr<VexoSourceManagerEventTranslator>::adopt(new VexoSourceManagerEventTranslator);
  ASSERT_EQ(manager_->Advise(sink->identity(), sink->exposed()), plat::S_OK);
  ASSERT_EQ(manager_->Start(1, 0), plat::S_OK);

  auto seen = waitFor(5);
  std::vector<unsigned> types;
  for (auto& s : seen) types.push_back(s.type);
  const unsigned arrival = VexoEventSourceArrival::kType;
  EXPECT_EQ(types, (std::vector<unsigned>{arrival, arrival, arrival, arrival, VexoEventDeviceCollected::kType}));

  ASSERT_EQ(control_->SetDevicePresent(1, 0), plat::S_OK);
  seen = waitFor(7);
  ASSERT_EQ(seen.size(), 7u);
  EXPECT_EQ(seen[5].type, VexoEventSourceRemoved::kType);
  EXPECT_EQ(deviceName(seen[5].context), u"ISDB-T Tuner");
  EXPECT_EQ(seen[6].type, VexoEventSignalChanged::kType);
  for (auto& s : seen) EXPECT_EQ(s.thread, std::this_thread::get_id());

  ASSERT_EQ(manager_->Unadvise(sink->identity(), sink->exposed()), plat::S_OK);
  EXPECT_EQ(sink->refCount(), 1);  // the manager gave its reference back
  ASSERT_EQ(control_->SetDevicePresent(1, 1), plat::S_OK);
  control_->SetEventThreading(0);  // joins the engine thread: nothing more is in flight
  plat::pumpPendingMessages();
  EXPECT_EQ(recorder_.seen().size(), 7u);
  EXPECT_EQ(manager_->Stop(1, 0), plat::S_OK);
}

}  // namespace
