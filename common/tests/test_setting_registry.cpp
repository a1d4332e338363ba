// The settings store, registry kind: key layout, types, missing keys and
// values, and the root selector.
#include <gtest/gtest.h>

#include "../../platform/tests/device_root_fixture.h"
#include "plat/registry.h"
#include "vexo/setting.h"

namespace {

using plat::E_FAIL;
using plat::E_INVALIDARG;
using plat::RegRoot;
using plat::S_OK;

class RegistrySettingTest : public plat::testing::DeviceRootTest {
 protected:
  McPtr<IVexoCmnSetting> open(uint32_t rootSelector) {
    McPtr<IVexoCmnSetting> store;
    EXPECT_EQ(CoCreateVexoCmnSetting(vexo::kSettingKindRegistry, rootSelector, "Norvale", "Ondavue", store.put()),
              S_OK);
    EXPECT_TRUE(store);
    return store;
  }
};

TEST_F(RegistrySettingTest, ValuesLiveUnderCompanyAndProductAndWriteThrough) {
  auto store = open(vexo::kSettingRootCurrentUser);
  EXPECT_EQ(store->GetKind(), 1u);
  EXPECT_EQ(store->GetRoot(), 0u);
  EXPECT_EQ(store->Exists(), 0);
  ASSERT_EQ(store->SetDWORD("/Setting/Audio/EQMode", 4), S_OK);
  ASSERT_EQ(store->SetBool("/Setting/Shuffle", 5), S_OK);
  ASSERT_EQ(store->SetString("/Setting/PVR/Path", u"\\Storage Card\\録画\\"), S_OK);
  EXPECT_EQ(store->Exists(), 1);

  uint32_t raw = 0;
  EXPECT_EQ(plat::regGetDword(RegRoot::CurrentUser, u"Software\\Norvale\\Ondavue\\Setting\\Audio", u"EQMode", &raw), S_OK);
  EXPECT_EQ(raw, 4u);
  EXPECT_EQ(plat::regGetDword(RegRoot::CurrentUser, u"Software\\Norvale\\Ondavue\\Setting", u"Shuffle", &raw), S_OK);
  EXPECT_EQ(raw, 1u);
  EXPECT_FALSE(plat::regKeyExists(RegRoot::LocalMachine, u"Software\\Norvale\\Ondavue"));

  // A second instance sees the values at once; Save has nothing to do.
  EXPECT_EQ(store->Save(), S_OK);
  auto other = open(vexo::kSettingRootCurrentUser);
  uint8_t flag = 0;
  EXPECT_EQ(other->GetBool("/Setting/Shuffle", &flag), S_OK);
  EXPECT_EQ(flag, 1);
  char16_t buffer[plat::kMaxPath];
  EXPECT_EQ(other->GetString("/Setting/PVR/Path", buffer, plat::kMaxPath), S_OK);
  EXPECT_EQ(std::u16string(buffer), u"\\Storage Card\\録画\\");
  // A DWORD reads as a bool when non-zero.
  ASSERT_EQ(plat::regSetDword(RegRoot::CurrentUser, u"Software\\Norvale\\Ondavue\\Setting", u"Mute", 2), S_OK);
  EXPECT_EQ(other->GetBool("/Setting/Mute", &flag), S_OK);
  EXPECT_EQ(flag, 1);
}

TEST_F(RegistrySettingTest, MissingKeysValuesAndWrongTypes) {
  auto store = open(vexo::kSettingRootLocalMachine);
  uint32_t v = 0;
  char16_t buffer[plat::kMaxPath];
  EXPECT_EQ(store->GetDWORD("/Setting/Volume", &v), E_INVALIDARG) << "missing key";
  ASSERT_EQ(store->SetDWORD("/Setting/Volume", 10), S_OK);
  EXPECT_TRUE(plat::regKeyExists(RegRoot::LocalMachine, u"Software\\Norvale\\Ondavue\\Setting"));
  EXPECT_EQ(store->GetDWORD("/Setting/Mute", &v), E_FAIL) << "missing value in an existing key";
  EXPECT_EQ(store->GetString("/Setting/Volume", buffer, plat::kMaxPath), E_FAIL);
  EXPECT_EQ(store->SetString("/Setting/Volume", u"x"), E_FAIL);
  ASSERT_EQ(store->SetString("/Setting/Name", u"abcdef"), S_OK);
  EXPECT_EQ(store->SetDWORD("/Setting/Name", 1), E_FAIL);
  EXPECT_EQ(store->SetBool("/Setting/Name", 1), E_FAIL);
  EXPECT_EQ(store->GetString("/Setting/Name", buffer, 6), E_FAIL) << "does not fit with its terminator";
  EXPECT_EQ(store->GetString("/Setting/Name", buffer, 7), S_OK);
  EXPECT_EQ(store->GetDWORD("/Setting/Volume", &v), S_OK);
  EXPECT_EQ(v, 10u);
  EXPECT_EQ(store->GetDWORD("/Setting/Volume", nullptr), E_INVALIDARG);
  EXPECT_EQ(store->GetDWORD("Setting/Volume", &v), E_INVALIDARG);
  EXPECT_EQ(store->SetDWORD("/Setting//Volume", 1), E_FAIL);
  EXPECT_EQ(store->SetDWORD("/Setting/", 1), E_FAIL);
}

TEST_F(RegistrySettingTest, UnknownRootSelectorFailsEveryCall) {
  auto store = open(2);
  uint32_t v = 0;
  EXPECT_EQ(store->SetDWORD("/Setting/Volume", 1), E_FAIL);
  EXPECT_EQ(store->GetDWORD("/Setting/Volume", &v), E_FAIL);
  EXPECT_EQ(store->Exists(), 0);
  EXPECT_FALSE(plat::regKeyExists(RegRoot::CurrentUser, u"Software\\Norvale"));
  EXPECT_FALSE(plat::regKeyExists(RegRoot::LocalMachine, u"Software\\Norvale"));
}

}  // namespace
