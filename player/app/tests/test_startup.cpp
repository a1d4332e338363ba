// Start-up pieces of the player that work without the engine: the
// accelerator registry, the hand-over text, the settings seeding, the
// language choice and the storage-card folder.
#include <gtest/gtest.h>

#include <fstream>

#include "app/startup/accelerators.h"
#include "app/startup/app.h"
#include "app/startup/handover.h"
#include "plat/file.h"
#include "plat/registry.h"
#include "plat/window.h"
#include "skin_fixture.h"
#include "vexo/setting.h"

namespace tunora {
namespace {

using skin::testing::TempDevice;

// ---- accelerator registry -------------------------------------------------

class Accelerators : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::registerClass(plat::WindowClass{u"AccelTest", 0, proc, {}});
    for (auto& w : windows) {
      plat::CreateWindowParams p;
      p.className = u"AccelTest";
      p.rect = plat::Rect{0, 0, 10, 10};
      w = plat::createWindow(p);
    }
    tables.resize(windows.size());
  }
  void TearDown() override {
    for (auto& w : windows) plat::destroyWindow(w);
  }
  static plat::LResult proc(plat::Window w, uint32_t m, plat::WParam wp, plat::LParam lp) {
    return plat::defaultWindowProc(w, m, wp, lp);
  }
  std::array<plat::Window, 12> windows;
  std::vector<plat::AcceleratorTable> tables;
  AcceleratorRegistry registry;
};

TEST_F(Accelerators, EleventhRegistrationIsIgnored) {
  for (size_t i = 0; i < 10; ++i) EXPECT_TRUE(registry.registerTable(windows[i], &tables[i]));
  EXPECT_FALSE(registry.registerTable(windows[10], &tables[10]));
  EXPECT_EQ(registry.size(), 10u);
  EXPECT_EQ(registry.unregisterTable(windows[10]), nullptr);
}

TEST_F(Accelerators, ActivatingAWindowWithoutAPairClearsTheActiveIndex) {
  registry.registerTable(windows[0], &tables[0]);
  registry.registerTable(windows[1], &tables[1]);
  registry.activate(windows[1]);
  EXPECT_EQ(registry.activeIndex(), 1);
  registry.activate(windows[5]);
  EXPECT_EQ(registry.activeIndex(), -1);
  plat::Message msg{windows[5], plat::kMsgKeyDown, 'A', 0, 0};
  EXPECT_FALSE(registry.translate(msg));
}

// Removing a pair keeps the active index on the same window.
TEST_F(Accelerators, UnregisterKeepsTheActivePairInStep) {
  struct Case {
    int active;         // window index made active
    int removed;        // window index removed
    int expectedIndex;  // active index afterwards
  };
  for (const Case& c : {Case{2, 2, -1}, Case{3, 1, 2}, Case{1, 3, 1}}) {
    AcceleratorRegistry r;
    for (size_t i = 0; i < 5; ++i) r.registerTable(windows[i], &tables[i]);
    r.activate(windows[static_cast<size_t>(c.active)]);
    EXPECT_EQ(r.unregisterTable(windows[static_cast<size_t>(c.removed)]), &tables[static_cast<size_t>(c.removed)]);
    EXPECT_EQ(r.activeIndex(), c.expectedIndex) << "active " << c.active << " removed " << c.removed;
    EXPECT_EQ(r.size(), 4u);
  }
}

// ---- hand-over text -------------------------------------------------------

TEST(HandoverText, QuotesAndLength) {
  struct Case {
    std::u16string in, out;
  };
  const std::u16string longPath = u"\\Storage Card\\" + std::u16string(300, u'a');
  const Case cases[] = {
      {u"", u""},
      {u"\\Storage Card\\a.ts", u"\\Storage Card\\a.ts"},
      {u"\"\\Storage Card\\My Movies\\a.ts\"", u"\\Storage Card\\My Movies\\a.ts"},
      {u"\"\\Storage Card\\open.ts", u"\\Storage Card\\open.ts"},
      {u"\"", u""},
      {longPath, longPath.substr(0, 259)},
      // A quoted long line is cut first, so its closing quote is gone.
      {u"\"" + longPath + u"\"", longPath.substr(0, 258)},
  };
  for (const Case& c : cases) EXPECT_EQ(handoverText(c.in), c.out);
}

TEST(SharedPathMemory, WriteClearsAndCuts) {
  int error = 0;
  auto memory = SharedPathMemory::open(&error);
  ASSERT_TRUE(memory) << error;
  memory->write(std::u16string(400, u'x'));
  EXPECT_EQ(memory->read().size(), 259u);
  memory->write(u"short");
  EXPECT_EQ(memory->read(), u"short");
}

// ---- settings seeding and language -----------------------------------------

constexpr char kSeed[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Setting><Setting><General><Language Type=\"DWORD\">0</Language>"
    "</General><LastSkin Type=\"DWORD\">0</LastSkin></Setting></Setting>\n";

class Seeding : public ::testing::Test {
 protected:
  void SetUp() override { device.write("Setting.xml", kSeed); }
  std::filesystem::path host(const std::u16string& device) { return *plat::toHostPath(device); }
  plat::String16 user() { return vexo::residentFlashPath() + kUserSettingSubpath; }
  plat::String16 factory() { return vexo::residentFlashPath() + kFactorySettingSubpath; }
  TempDevice device;
};

TEST_F(Seeding, MissingStoreIsRestoredWithItsFactoryCopy) {
  auto store = openSettingsStore();
  ASSERT_TRUE(store);
  EXPECT_TRUE(plat::fileExists(user()));
  EXPECT_TRUE(plat::fileExists(factory()));
  char16_t version[32] = {};
  ASSERT_EQ(store->GetString("/ApplicationVersion", version, 32), plat::S_OK);
  EXPECT_EQ(std::u16string(version), u"1.0.0.2");
}

TEST_F(Seeding, ExistingStoreIsKept) {
  { auto first = openSettingsStore(); first->SetDWORD("/Setting/LastSkin", 3); first->Save(); }
  auto store = openSettingsStore();
  uint32_t skin = 0;
  ASSERT_EQ(store->GetDWORD("/Setting/LastSkin", &skin), plat::S_OK);
  EXPECT_EQ(skin, 3u);
}

TEST_F(Seeding, DamagedStoreComesBackFromTheFactoryCopy) {
  { auto first = openSettingsStore(); }
  std::ofstream(host(user()), std::ios::trunc) << "<Setting><General>garbage";
  auto store = openSettingsStore();
  ASSERT_TRUE(store);
  uint32_t language = 99;
  EXPECT_EQ(store->GetDWORD("/Setting/General/Language", &language), plat::S_OK);
  EXPECT_EQ(language, 0u);
  std::ifstream kept(host(user() + u".damaged"));
  std::string bytes((std::istreambuf_iterator<char>(kept)), {});
  EXPECT_EQ(bytes, "<Setting><General>garbage");
}

TEST_F(Seeding, LanguageFallsBackToTheRegistryThenEnglish) {
  auto store = openSettingsStore();
  plat::regDeleteValue(plat::RegRoot::LocalMachine, u"Software\\Norvale", u"Language");
  EXPECT_EQ(selectLanguage(*store.get()), 1033u);
  plat::regSetDword(plat::RegRoot::LocalMachine, u"Software\\Norvale", u"Language", 1041);
  EXPECT_EQ(selectLanguage(*store.get()), 1041u);
  store->SetDWORD("/Setting/General/Language", 2052);
  EXPECT_EQ(selectLanguage(*store.get()), 2052u);
  plat::regDeleteValue(plat::RegRoot::LocalMachine, u"Software\\Norvale", u"Language");
}

// ---- storage card ------------------------------------------------------------

TEST_F(Seeding, StorageCardFolderAndMediaFolders) {
  for (const char16_t* p : {u"SDMemory", u"MMC", u"SDCARD", u"SDMMC", u"SD"})
    plat::regDeleteKey(plat::RegRoot::LocalMachine, plat::String16(u"System\\StorageManager\\Profiles\\") + p);
  EXPECT_EQ(storageCardFolder(), u"");
  EXPECT_FALSE(storageCardPresent());
  plat::regSetString(plat::RegRoot::LocalMachine, u"System\\StorageManager\\Profiles\\SDCARD", u"Folder",
                     u"Storage Card");
  EXPECT_EQ(storageCardFolder(), u"\\Storage Card\\");
  EXPECT_FALSE(storageCardPresent());  // named, but no card is in
  const auto cardDir = device.prog().parent_path() / "card";
  std::filesystem::create_directories(cardDir);
  plat::insertStorageCard({u"Storage Card", cardDir});
  EXPECT_TRUE(storageCardPresent());

  auto store = openSettingsStore();
  store->SetString("/Setting/PVR/Path", u"");
  store->SetString("/Setting/SnapShot/Path", u"\\Storage Card\\Pictures\\Mine\\");
  ensureMediaFolders(*store.get());
  char16_t value[260] = {};
  ASSERT_EQ(store->GetString("/Setting/PVR/Path", value, 260), plat::S_OK);
  EXPECT_EQ(std::u16string(value), u"\\Storage Card\\Recorded Media\\");
  EXPECT_TRUE(plat::directoryExists(u"\\Storage Card\\Recorded Media"));
  EXPECT_TRUE(plat::directoryExists(u"\\Storage Card\\Pictures\\Mine"));
  plat::removeStorageCard(u"Storage Card");
  plat::regDeleteKey(plat::RegRoot::LocalMachine, u"System\\StorageManager\\Profiles\\SDCARD");
}

}  // namespace
}  // namespace tunora
