// Reaching the engine by module name, with a stand-in registered the way
// tests of the services will do it.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "vexo/engine_library.h"

namespace {

int g_playerCalls = 0;

class FakePlayer final : public McObject<IZantMediaPlayer> {
 public:
  Status Connect(IMcUnknown*, IZantMediaEventSink*) override { return plat::S_OK; }
  Status Disconnect(IMcUnknown*, IZantMediaEventSink*) override { return plat::S_OK; }
  Status Open(IZantSourceDevice*, ZantWindow, const char16_t*, IMcUnknown*, IZantMediaEventSink*) override {
    return plat::S_OK;
  }
  Status CloseSource() override { return plat::S_OK; }
  Status GetServiceStreams(IZantServiceStreams**) override { return plat::E_FAIL; }
  Status GetState(int32_t* s, uint32_t) override {
    *s = zant::kStateClosed;
    return plat::S_OK;
  }
  Status GetSource(IZantSourceDevice**) override { return plat::S_FALSE; }
  Status Run(uint32_t) override { return plat::S_OK; }
  Status Suspend() override { return plat::S_OK; }
  Status Pause() override { return plat::S_OK; }
  Status Stop() override { return plat::S_OK; }
  Status GetCapabilities(uint32_t* c) override {
    *c = 0;
    return plat::S_OK;
  }
  Status SetVideoWindow(ZantWindow, int32_t, int32_t, int32_t, int32_t) override { return plat::S_OK; }
};

Status fakeCreatePlayer(const Guid* iid, void** out) {
  ++g_playerCalls;
  auto* p = new FakePlayer();
  Status s = p->query(*iid, out);
  p->release();
  return s;
}

class EngineLibraryTest : public ::testing::Test {
 protected:
  void TearDown() override { plat::unregisterModuleStandIn(zant::kEngineModuleName); }
};

TEST_F(EngineLibraryTest, FactoriesComeFromTheModuleOfThatName) {
  plat::registerModuleStandIn(zant::kEngineModuleName,
                              {{zant::kFactoryMediaPlayer, reinterpret_cast<void*>(&fakeCreatePlayer)}});
  vexo::EngineLibrary engine;
  ASSERT_TRUE(engine.available());
  McPtr<IZantMediaPlayer> player;
  ASSERT_EQ(engine.createPlayer(player.put()), plat::S_OK);
  EXPECT_EQ(g_playerCalls, 1);
  int32_t state = -1;
  player->GetState(&state, 0);
  EXPECT_EQ(state, zant::kStateClosed);
  // The stand-in has no device manager: the factory is missing, the call fails cleanly.
  McPtr<IZantSourceDeviceManager> manager;
  EXPECT_EQ(engine.createDeviceManager(manager.put()), plat::E_FAIL);
  EXPECT_FALSE(manager);
  EXPECT_EQ(engine.createPlayer(nullptr), plat::E_POINTER);
}

TEST_F(EngineLibraryTest, MissingSchedulerLibrariesLeaveEmptyFactories) {
  plat::registerModuleStandIn(zansk::kSchedulerModuleName, {});
  plat::registerModuleStandIn(zansk::kDialogModuleName, {});
  vexo::SchedulerLibraries libs;
  McPtr<IZanskEventScheduler> events;
  McPtr<IZanskReminderDialog> dialog;
  EXPECT_EQ(libs.createEventScheduler(events.put()), plat::E_FAIL);
  EXPECT_EQ(libs.createReminderDialog(dialog.put()), plat::E_FAIL);
  plat::unregisterModuleStandIn(zansk::kSchedulerModuleName);
  plat::unregisterModuleStandIn(zansk::kDialogModuleName);
}

TEST_F(EngineLibraryTest, TheBuiltEngineAndSchedulerLoadByName) {
  vexo::EngineLibrary engine;
  ASSERT_TRUE(engine.available()) << "libZANTSDK.so beside the test";
  McPtr<IZantSourceDeviceManager> manager;
  ASSERT_EQ(engine.createDeviceManager(manager.put()), plat::S_OK);
  McPtr<IZantEnum> devices;
  ASSERT_EQ(manager->EnumDevices(zant::kSourceClassLive, devices.put()), plat::S_OK);
  uint32_t n = 0;
  devices->GetCount(&n);
  EXPECT_EQ(n, 1u);
  vexo::EngineLibrary again;
  EXPECT_EQ(again.module().get(), engine.module().get());  // a loaded module is reused
  vexo::SchedulerLibraries libs;
  McPtr<IZanskReminderDialog> dialog;
  EXPECT_EQ(libs.createReminderDialog(dialog.put()), plat::S_OK);
}

}  // namespace
