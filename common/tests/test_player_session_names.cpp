// A tuner whose name cannot be an XML element name: the session's per-source
// settings must still leave a store that saves and loads. (Own program: the
// scenario it loads stays in the engine for the rest of the process.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "plat/clock.h"
#include "plat/module.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "vexo/player_session.h"
#include "vexo/setting.h"
#include "vexo/source_manager.h"
#include "zant/test_control.h"

namespace {

constexpr char kScenario[] = R"XML(<?xml version="1.0" encoding="UTF-8"?>
<scenario>
  <device id="1" name="1seg (Tokyo) #&amp;&apos;," type="0x40040001"/>
  <device id="2" name="TS File Source" type="0x11000001"/>
  <country id="81" name="Japan" standard="4"><region id="13" name="Tokyo"/></country>
  <channel onid="0x7FE0" tsid="0x7FE0" sid="0x0588" name="One" display="One" provider="P"
           type="2" number="611" key="1" freq="557143" bw="6000" uhf="27" regions="13" signal="78"/>
</scenario>
)XML";

TEST(SessionSourceNames, OddTunerNamesKeepTheStoreLoadable) {
  auto root = std::filesystem::temp_directory_path() / ("session-names-" + std::to_string(::getpid()));
  std::filesystem::remove_all(root);
  plat::PathConfig cfg;
  cfg.deviceRoot = root;
  cfg.programDir = root / "program";
  plat::configurePaths(cfg);
  plat::VirtualClock clock;
  plat::ScopedClock scoped(clock);
  plat::ModuleHandle engine = plat::loadModule(std::string_view(zant::kEngineModuleName));
  ASSERT_TRUE(engine);
  auto getControl = engine->function<ZantGetTestControlFn>(zant::kExportTestControl);
  auto createPlayer = engine->function<ZantCreateMediaPlayerFn>(zant::kFactoryMediaPlayer);
  McPtr<IZantTestControl> control;
  ASSERT_EQ(getControl(&IZantTestControl::iid, control.putVoid()), plat::S_OK);
  control->SetEventThreading(0);
  ASSERT_EQ(control->LoadScenarioText(kScenario, sizeof(kScenario) - 1), plat::S_OK);

  McPtr<IVexoCmnSetting> store;
  McPtr<IVexoCmnSourceManager> sources;
  McPtr<IVexoCmnPlayerSession> session;
  ASSERT_EQ(CoCreateVexoCmnSetting(vexo::kSettingKindFile, 0, "Norvale", "Ondavue", store.put()), plat::S_OK);
  ASSERT_EQ(CoCreateVexoCmnSourceManager(sources.put()), plat::S_OK);
  ASSERT_EQ(CoCreateVexoCmnPlayerSession(session.put()), plat::S_OK);
  IZantMediaPlayer* player = nullptr;
  ASSERT_EQ(createPlayer(&IZantMediaPlayer::iid, reinterpret_cast<void**>(&player)), plat::S_OK);
  session->SetMediaPlayer(player);
  session->SetSetting(store.get());

  McPtr<IVexoCmnCollection> live;
  ASSERT_EQ(sources->EnumSources(zant::kSourceClassLive, live.put()), plat::S_OK);
  IMcUnknown* item = nullptr;
  ASSERT_EQ(live->Next(1, &item, nullptr), plat::S_OK);
  auto tuner = mcQuery<IZantSourceDevice>(item);
  item->Release();
  ASSERT_EQ(session->OpenSource(tuner.get()), plat::S_OK);

  ASSERT_EQ(session->SetSourceUseJapaneseFont(1), plat::S_OK);
  ASSERT_EQ(store->Save(), plat::S_OK);
  McPtr<IVexoCmnSetting> again;
  ASSERT_EQ(CoCreateVexoCmnSetting(vexo::kSettingKindFile, 0, "Norvale", "Ondavue", again.put()), plat::S_OK);
  ASSERT_EQ(again->Exists(), 1);
  uint8_t value = 0;
  EXPECT_EQ(again->GetBool("/Setting/_1seg__Tokyo______/UseJapaneseFont", &value), plat::S_OK);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(again->GetString("/Setting/Scan/LiveInSourceName", nullptr, 0), plat::E_INVALIDARG);
  char16_t name[64] = {};
  ASSERT_EQ(again->GetString("/Setting/Scan/LiveInSourceName", name, 64), plat::S_OK);
  EXPECT_EQ(std::u16string(name), u"1seg (Tokyo) #&',");

  // The channel cache folder keeps the file-name form of the name.
  ASSERT_EQ(session->SaveChannelList(), plat::S_OK);
  EXPECT_TRUE(std::filesystem::is_directory(root / "NAND" / "ISDBT" / "Norvale" / "Ondavue" / "ChannelList" /
                                            "1seg_(Tokyo)_#&',"));

  session->Close();
  session.reset();
  std::filesystem::remove_all(root);
}

}  // namespace
