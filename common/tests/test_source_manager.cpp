// The source manager against the simulated engine, loaded by module name.
#include <gtest/gtest.h>

#include "engine_test_base.h"
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "plat/clock.h"
#include "plat/module.h"
#include "plat/paths.h"
#include "vexo/source_manager.h"
#include "zant/test_control.h"

namespace {

struct Event {
  IMcUnknown* sender;
  uint32_t code;
  uintptr_t p1;
  uintptr_t p2;
};

class RecordingSink final : public McObject<IZantMediaEventSink> {
 public:
  Status OnEvent(IMcUnknown* sender, uint32_t code, uintptr_t p1, uintptr_t p2) override {
    std::lock_guard lock(mutex_);
    events_.push_back({sender, code, p1, p2});
    return plat::S_OK;
  }
  std::vector<Event> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  ~RecordingSink() override = default;
  std::mutex mutex_;
  std::vector<Event> events_;
};

std::u16string deviceName(IMcUnknown* item) {
  auto device = mcQuery<IZantSourceDevice>(item);
  if (!device) return u"<not a device>";
  char16_t name[64] = {};
  uint32_t length = 64;
  device->GetName(name, &length);
  return name;
}

std::vector<std::u16string> names(IVexoCmnCollection* sources) {
  std::vector<std::u16string> out;
  forEachItem(sources, [&](IMcUnknown* item) {
    out.push_back(deviceName(item));
    return true;
  });
  return out;
}

class SourceManagerTest : public vexotest::EngineTestBase {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(startEngine("sources", 0));
    ASSERT_EQ(CoCreateVexoCmnSourceManager(manager_.put()), plat::S_OK);
    ASSERT_TRUE(manager_);
    sink_ = McPtr<RecordingSink>::adopt(new RecordingSink());
  }
  void TearDown() override {
    manager_.reset();
    if (control_) {
      control_->ClearFailures();
      for (uint32_t id = 1; id <= 4; ++id) control_->SetDevicePresent(id, 1);
      control_->Pump(nullptr);
    }
    stopEngine();
  }

  McPtr<IVexoCmnSourceManager> manager_;
  McPtr<RecordingSink> sink_;
};

TEST_F(SourceManagerTest, EnumSourcesFiltersByClassInEngineOrder) {
  struct Case {
    uint32_t filter;
    std::vector<std::u16string> names;
  };
  const Case cases[] = {
      {0, {u"ISDB-T Tuner", u"TS File Source", u"CMMB File Source", u"Media File Source"}},
      {zant::kSourceClassLive, {u"ISDB-T Tuner"}},
      {zant::kSourceClassFile, {u"TS File Source", u"CMMB File Source", u"Media File Source"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    McPtr<IVexoCmnCollection> sources;
    ASSERT_EQ(manager_->EnumSources(c.filter, sources.put()), plat::S_OK);
    uint32_t count = 0;
    ASSERT_EQ(sources->GetCount(&count), plat::S_OK);
    EXPECT_EQ(count, c.names.size());
    EXPECT_EQ(names(sources.get()), c.names);
    EXPECT_EQ(sources->GetCount(nullptr), plat::E_INVALIDARG);
    void* same = nullptr;
    ASSERT_EQ(sources->QueryInterface(IID_IVexoCmnSourceCollection, &same), plat::S_OK);
    static_cast<IMcUnknown*>(same)->Release();
  }
  EXPECT_EQ(manager_->EnumSources(0, nullptr), plat::E_POINTER);
}

TEST_F(SourceManagerTest, CollectionOutlivesTheManager) {
  McPtr<IVexoCmnCollection> sources;
  ASSERT_EQ(manager_->EnumSources(0, sources.put()), plat::S_OK);
  manager_.reset();
  McPtr<IVexoCmnCollection> copy;
  ASSERT_EQ(sources->Clone(copy.put()), plat::S_OK);
  sources.reset();
  EXPECT_EQ(names(copy.get()).size(), 4u);
}

TEST_F(SourceManagerTest, EngineFailureGivesEFail) {
  ASSERT_EQ(control_->InjectFailure("IZantSourceDeviceManager::EnumDevices", plat::E_OUTOFMEMORY, 1), plat::S_OK);
  McPtr<IVexoCmnCollection> sources;
  EXPECT_EQ(manager_->EnumSources(0, sources.put()), plat::E_FAIL);
  EXPECT_FALSE(sources);
}

TEST_F(SourceManagerTest, ArrivalRemovalAndCollectedReachTheSink) {
  ASSERT_EQ(manager_->Advise(sink_->identity(), sink_->exposed()), plat::S_OK);
  ASSERT_EQ(manager_->Start(1, 0), plat::S_OK);
  control_->Pump(nullptr);
  std::vector<uint32_t> codes;
  for (const Event& e : sink_->events()) codes.push_back(e.code);
  EXPECT_EQ(codes, (std::vector<uint32_t>{zant::kEvSourceArrival, zant::kEvSourceArrival, zant::kEvSourceArrival,
                                          zant::kEvSourceArrival, zant::kEvDevicesCollected}));
  EXPECT_EQ(deviceName(reinterpret_cast<IMcUnknown*>(sink_->events()[0].p1)), u"ISDB-T Tuner");

  ASSERT_EQ(control_->SetDevicePresent(1, 0), plat::S_OK);
  control_->Pump(nullptr);
  auto events = sink_->events();
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events.back().code, zant::kEvSourceRemoved);
  // The removal carries its context: the device that went.
  EXPECT_EQ(deviceName(reinterpret_cast<IMcUnknown*>(events.back().p2)), u"ISDB-T Tuner");

  ASSERT_EQ(manager_->Unadvise(sink_->identity(), sink_->exposed()), plat::S_OK);
  control_->SetDevicePresent(1, 1);
  control_->Pump(nullptr);
  EXPECT_EQ(sink_->events().size(), 6u);
  EXPECT_EQ(manager_->Stop(1, 0), plat::S_OK);
}

TEST_F(SourceManagerTest, GetSourceInfoFindsTheCarrier) {
  McPtr<IZantSourceDevice> device;
  ASSERT_EQ(manager_->GetSourceInfo(u"NHK総合1・東京", device.put()), plat::S_OK);
  EXPECT_EQ(deviceName(device.get()), u"ISDB-T Tuner");
  EXPECT_TRUE(plat::failed(manager_->GetSourceInfo(u"no such channel", device.put())));
}

TEST(SourceManagerWithoutEngine, EveryMethodFails) {
  plat::registerModuleStandIn(zant::kEngineModuleName, {});
  McPtr<IVexoCmnSourceManager> manager;
  ASSERT_EQ(CoCreateVexoCmnSourceManager(manager.put()), plat::S_OK);
  plat::unregisterModuleStandIn(zant::kEngineModuleName);
  ASSERT_TRUE(manager);
  McPtr<IVexoCmnCollection> sources;
  McPtr<IZantSourceDevice> device;
  EXPECT_EQ(manager->Start(1, 0), plat::E_FAIL);
  EXPECT_EQ(manager->Stop(1, 0), plat::E_FAIL);
  EXPECT_EQ(manager->EnumSources(0, sources.put()), plat::E_FAIL);
  EXPECT_EQ(manager->GetSourceInfo(u"x", device.put()), plat::E_FAIL);
  EXPECT_EQ(manager->Advise(nullptr, nullptr), plat::E_FAIL);
  EXPECT_EQ(manager->Unadvise(nullptr, nullptr), plat::E_FAIL);
  void* p = nullptr;
  ASSERT_EQ(manager->QueryInterface(IID_IVexoCmnSourceManager, &p), plat::S_OK);
  static_cast<IMcUnknown*>(p)->Release();
}

}  // namespace
