// The simulated broadcast seen through the engine interfaces: devices,
// scans, the channel list and selection, signal, CA, alarms and settings.
#include <cstring>

#include "engine_fixture.h"

namespace enginetest {
namespace {

using namespace zant;

TEST_F(EngineTest, DevicesArriveThenCollectedAndFilterByClass) {
  auto m = manager();
  ASSERT_EQ(m->Advise(nullptr, sink_->sink()), plat::S_OK);
  ASSERT_EQ(m->Start(1, 0), plat::S_OK);
  std::vector<uint32_t> codes = sink_->codes();
  ASSERT_EQ(codes.size(), 5u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(codes[i], kEvSourceArrival);
  EXPECT_EQ(codes[4], kEvDevicesCollected);

  auto tuner = device(kSourceClassLive);
  ASSERT_TRUE(tuner);
  uint32_t type = 0;
  tuner->GetType(&type);
  EXPECT_EQ(type, kSourceTypeIsdbTTuner);
  EXPECT_EQ(sourceStandard(type), 4u);
  char16_t name[8];
  uint32_t len = 8;
  EXPECT_EQ(tuner->GetName(name, &len), plat::S_FALSE);  // "ISDB-T Tuner" does not fit
  EXPECT_EQ(len, 13u);
  EXPECT_EQ(std::u16string(name), u"ISDB-T ");
  EXPECT_TRUE(device(kSourceClassFile, kFileKindTransportStream));
  EXPECT_TRUE(device(kSourceClassFile, kFileKindCmmbMultiplex));

  // Removal reaches the sink with the device as p2, then arrival again.
  sink_->clear();
  ASSERT_EQ(control_->SetDevicePresent(1, 0), plat::S_OK);
  EXPECT_FALSE(device(kSourceClassLive));
  ASSERT_EQ(control_->SetDevicePresent(1, 1), plat::S_OK);
  auto events = sink_->events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].code, kEvSourceRemoved);
  EXPECT_EQ(events[0].p2, reinterpret_cast<uintptr_t>(device(kSourceClassLive).get()));
  EXPECT_EQ(events[1].code, kEvSourceArrival);
  m->Unadvise(nullptr, sink_->sink());
}

TEST_F(EngineTest, RegionScanReportsProgressOverTimeAndBuildsTheList) {
  openLive();
  auto scanSink = McPtr<RecordingSink>::adopt(new RecordingSink());
  std::vector<ZantScanStatus> records;
  scanSink->hook = [&](uint32_t code, uintptr_t, uintptr_t p2) {
    if (code == kEvScanProgress) records.push_back(*reinterpret_cast<const ZantScanStatus*>(p2));
  };
  ASSERT_EQ(channels_->ScanRegion(81, 999, nullptr, scanSink->sink()), plat::E_INVALIDARG);
  ASSERT_EQ(channels_->ScanRegion(81, 13, nullptr, scanSink->sink()), plat::S_OK);
  EXPECT_EQ(scanSink->codes(), std::vector<uint32_t>{kEvScanBegin});
  int32_t state = -1;
  player_->GetState(&state, 0);
  EXPECT_EQ(state, kStateScanning);
  advance(1000);
  EXPECT_EQ(records.size(), 10u);  // one frequency per 100 ms
  advance(4000);
  ASSERT_EQ(records.size(), 40u);  // UHF 13 to 52
  EXPECT_EQ(scanSink->codes().back(), kEvScanFinished);
  for (size_t i = 1; i < records.size(); ++i) EXPECT_GE(records[i].percent, records[i - 1].percent);
  EXPECT_EQ(records.back().percent, 100);
  EXPECT_EQ(records.back().programsFound, 10);
  EXPECT_EQ(records[27 - 13].physicalChannel, 27);
  EXPECT_EQ(records[27 - 13].frequencyKHz, 557143);
  // The byte offsets the program reads: percent at 8, the label value at 28.
  int32_t at8 = 0, at28 = 0;
  std::memcpy(&at8, reinterpret_cast<const char*>(&records[5]) + 8, 4);
  std::memcpy(&at28, reinterpret_cast<const char*>(&records[5]) + 28, 4);
  EXPECT_EQ(at8, records[5].percent);
  EXPECT_EQ(at28, 18);

  uint32_t n = 0;
  channels_->GetCount(&n);
  EXPECT_EQ(n, 10u);
  // Events after the end go nowhere near the scan sink.
  scanSink->clear();
  channels_->SelectByIndex(0);
  EXPECT_TRUE(scanSink->events().empty());
}

TEST_F(EngineTest, RangeScanFindsOnlyTheBand) {
  openLive();
  // UHF 21 to 27: 521143 .. 557143 kHz holds seven services.
  ASSERT_EQ(channels_->ScanRange(521143, 557143, 6000, nullptr, sink_->sink()), plat::S_OK);
  advance(1000);
  uint32_t n = 0;
  channels_->GetCount(&n);
  EXPECT_EQ(n, 7u);
  EXPECT_EQ(channels_->ScanRange(0, 10, 6000, nullptr, sink_->sink()), plat::E_INVALIDARG);
  EXPECT_EQ(channels_->ScanRange(400000, 300000, 6000, nullptr, sink_->sink()), plat::E_INVALIDARG);
}

TEST_F(EngineTest, StopScanReportsAndThenStaysQuiet) {
  openLive();
  auto scanSink = McPtr<RecordingSink>::adopt(new RecordingSink());
  ASSERT_EQ(channels_->ScanRegion(81, 0, nullptr, scanSink->sink()), plat::S_OK);
  advance(300);
  ASSERT_EQ(channels_->StopScan(0, 0), plat::S_OK);
  EXPECT_EQ(scanSink->codes().back(), kEvScanStopped);
  size_t seen = scanSink->events().size();
  advance(5000);
  EXPECT_EQ(scanSink->events().size(), seen);
  EXPECT_EQ(channels_->StopScan(0, 0), plat::S_FALSE);
}

TEST_F(EngineTest, SelectReportsTheServiceChangeSequence) {
  openLive();
  tokyoLineUp();
  sink_->clear();
  ASSERT_EQ(channels_->SelectByIndex(2), plat::S_OK);
  std::vector<uint32_t> codes = sink_->codes();
  ASSERT_GE(codes.size(), 4u);
  EXPECT_EQ(codes[0], kEvServiceChanging);
  EXPECT_EQ(codes[1], kEvServiceChanged);
  EXPECT_EQ(sink_->events()[1].p1, 0u);  // the service is up
  EXPECT_EQ(codes[2], kEvStateChanged);
  EXPECT_NE(sink_->count(kEvServiceListUpdated), 0u);
  EXPECT_EQ(sink_->count(kEvProgramUpdated), 1u);

  int32_t index = -1;
  McPtr<IZantChannel> current;
  ASSERT_EQ(channels_->GetCurrent(&index, current.put()), plat::S_OK);
  EXPECT_EQ(index, 2);
  // One identity: the list hands out the very same object.
  McPtr<IZantEnum> list;
  ASSERT_EQ(channels_->GetList(list.put()), plat::S_OK);
  list->Skip(2);
  IMcUnknown* item = nullptr;
  ASSERT_EQ(list->Next(1, &item, nullptr), plat::S_OK);
  EXPECT_EQ(static_cast<IZantChannel*>(item), current.get());
  item->Release();
  // The program-update event names that same channel.
  for (const auto& e : sink_->events())
    if (e.code == kEvProgramUpdated) {
      EXPECT_EQ(e.p2, reinterpret_cast<uintptr_t>(current.get()));
    }

  uint32_t id = 0;
  current->GetId(&id);
  sink_->clear();
  ASSERT_EQ(channels_->SelectById(id), plat::S_OK);
  EXPECT_EQ(sink_->codes().front(), kEvServiceChanging);
  EXPECT_EQ(channels_->SelectById(0x12345678), plat::E_INVALIDARG);
  EXPECT_EQ(channels_->SelectByIndex(10), plat::E_INVALIDARG);
  EXPECT_EQ(channels_->Select(nullptr), plat::E_POINTER);
}

TEST_F(EngineTest, ChannelDataServiceNumbersAndGuide) {
  openLive();
  tokyoLineUp();
  McPtr<IZantEnum> list;
  ASSERT_EQ(channels_->GetList(list.put()), plat::S_OK);
  std::vector<McPtr<IZantChannel>> all;
  for (;;) {
    IMcUnknown* item = nullptr;
    if (list->Next(1, &item, nullptr) != plat::S_OK) break;
    all.push_back(McPtr<IZantChannel>::adopt(static_cast<IZantChannel*>(item)));
  }
  ASSERT_EQ(all.size(), 10u);
  int tv = 0, radio = 0, scrambled = 0;
  for (auto& c : all) {
    uint32_t type = 0, scramble = 0;
    c->GetType(&type);
    c->GetScrambleStatus(&scramble);
    tv += (type == 1 || type == 2);
    radio += (type == 3 || type == 4);
    scrambled += scramble == kScrambleScrambled;
    EXPECT_TRUE(scramble == kScrambleClear || scramble == kScrambleScrambled);
  }
  EXPECT_EQ(tv, 9);
  EXPECT_EQ(radio, 1);
  EXPECT_EQ(scrambled, 1);

  auto info = mcQuery<IZantServiceInfo>(all[0].get());
  ASSERT_TRUE(info);
  uint32_t number = 0;
  info->GetServiceNumber(&number);
  EXPECT_EQ(number, 121u);  // sorted by service number: the university radio first
  char16_t name[64];
  uint32_t len = 64;
  ASSERT_EQ(all[1]->GetDisplayName(name, &len), plat::S_OK);
  EXPECT_EQ(std::u16string(name), u"NHK総合・東京");
  ZantTuningInfo tuning{};
  ASSERT_EQ(all[1]->GetTuningInfo(&tuning), plat::S_OK);
  EXPECT_EQ((tuning.frequencyKHz - 473143) / tuning.bandwidthKHz + 13, 27u);

  // A week of guide, with exactly one programme on air.
  McPtr<IZantEnum> events;
  ASSERT_EQ(all[1]->GetEvents(events.put()), plat::S_OK);
  uint32_t count = 0;
  events->GetCount(&count);
  EXPECT_GT(count, 7u * 20u);
  int present = 0, following = 0;
  for (;;) {
    IMcUnknown* item = nullptr;
    if (events->Next(1, &item, nullptr) != plat::S_OK) break;
    auto prog = McPtr<IZantProgramme>::adopt(static_cast<IZantProgramme*>(item));
    McPtr<IZantEnum> times;
    prog->GetTimes(times.put());
    IMcUnknown* t = nullptr;
    ASSERT_EQ(times->Next(1, &t, nullptr), plat::S_OK);
    auto time = McPtr<IZantEventTime>::adopt(static_cast<IZantEventTime*>(t));
    uint32_t status = 0;
    time->GetStatus(&status);
    present += status == kTimePresent;
    following += status == kTimeFollowing;
  }
  EXPECT_EQ(present, 1);
  EXPECT_EQ(following, 1);
  McPtr<IZantProgramme> now, next;
  ASSERT_EQ(all[1]->GetPresentFollowing(now.put(), next.put()), plat::S_OK);
  ASSERT_TRUE(now && next);
  char16_t title[260];
  ASSERT_EQ(now->GetTitle(title, 260), plat::S_OK);
  EXPECT_FALSE(std::u16string(title).empty());
  uint32_t a = 0, b = 0;
  now->GetId(&a);
  next->GetId(&b);
  EXPECT_NE(a, b);
}

TEST_F(EngineTest, SaveAndRestoreTheListInAFolder) {
  openLive();
  tokyoLineUp();
  std::u16string dir = folder("cache");
  ASSERT_EQ(channels_->Save(dir.c_str()), plat::S_OK);
  ASSERT_EQ(store_->Set(kPropRegion, 14), plat::S_OK);  // Kanagawa: no TOKYO MX
  uint32_t n = 0;
  channels_->GetCount(&n);
  EXPECT_EQ(n, 9u);
  ASSERT_EQ(channels_->Restore(dir.c_str()), plat::S_OK);
  channels_->GetCount(&n);
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(channels_->Restore(folder("empty").c_str()), plat::E_FILE_NOT_FOUND);
  std::filesystem::create_directories(root_ / "bad");
  FILE* f = std::fopen((root_ / "bad" / "ChannelList.txt").c_str(), "w");
  std::fputs("ZANT-CHANNEL-LIST 1\nnot a line\n", f);
  std::fclose(f);
  EXPECT_EQ(channels_->Restore(u"\\bad"), plat::E_DATA_INVALID);
  channels_->GetCount(&n);
  EXPECT_EQ(n, 10u);  // a damaged file changes nothing
}

TEST_F(EngineTest, CountriesAndRegions) {
  openLive();
  ZantPropertyEntry list[256];
  uint32_t n = 256;
  ASSERT_EQ(store_->GetCountries(kSourceTypeIsdbTTuner, &n, list), plat::S_OK);
  ASSERT_GE(n, 1u);
  EXPECT_EQ(std::u16string(list[0].name), u"日本");
  EXPECT_EQ(list[0].id, 81u);
  n = 256;
  EXPECT_EQ(store_->GetCountries(kSourceClassLive | kStandardCmmb, &n, list), plat::E_FAIL);
  std::vector<ZantPropertyEntry> regions(128);
  n = 128;
  ASSERT_EQ(store_->GetRegions(81, &n, regions.data()), plat::S_OK);
  EXPECT_EQ(n, 47u);
  EXPECT_EQ(std::u16string(regions[12].name), u"東京都");
  EXPECT_EQ(store_->Set(kPropRegion, 4000), plat::E_INVALIDARG);
}

TEST_F(EngineTest, WeakSignalSearchesUntilItReturns) {
  openLive();
  tokyoLineUp();
  channels_->SelectByIndex(1);
  sink_->clear();
  ASSERT_EQ(control_->SetSignalLevel(5), plat::S_OK);
  advance(3000);
  size_t searching = 0;
  for (const auto& e : sink_->events()) searching += (e.code == kEvServiceChanged && e.p1 != 0);
  EXPECT_GE(searching, 3u);  // enough for the program's third-report warning
  EXPECT_EQ(sink_->count(kEvSignalQuality), 1u);
  sink_->clear();
  control_->SetSignalLevel(80);
  auto ev = sink_->events();
  ASSERT_FALSE(ev.empty());
  bool up = false;
  for (const auto& e : ev) up = up || (e.code == kEvServiceChanged && e.p1 == 0);
  EXPECT_TRUE(up);
  advance(3000);
  EXPECT_EQ(sink_->count(kEvServiceChanged), 1u);
}

TEST_F(EngineTest, ScrambledChannelReportsCAStatus) {
  openLive();
  tokyoLineUp();
  McPtr<IZantCAInfo> ca;
  ASSERT_EQ(streams_->GetCAInfo(ca.put()), plat::S_OK);
  char16_t text[64];
  ASSERT_EQ(ca->GetCAId(text, 64), plat::S_OK);
  EXPECT_EQ(std::u16string(text), u"0410 3312 5567 9021");
  uint32_t status = 1;
  ca->GetCAStatus(&status, 0, 0);
  EXPECT_EQ(status, 0u);
  // The scrambled service is the last by number (1032).
  sink_->clear();
  ASSERT_EQ(channels_->SelectByIndex(9), plat::S_OK);
  ASSERT_EQ(sink_->count(kEvCAStatusChanged), 1u);
  ca.reset();
  streams_->GetCAInfo(ca.put());
  ca->GetCAStatus(&status, 0, 0);
  EXPECT_EQ(status, kCANoAuthorization);
}

TEST_F(EngineTest, EmergencyAlarmObjectLivesThroughTheCallAndEnds) {
  openLive();
  tokyoLineUp();
  channels_->SelectByIndex(1);
  std::vector<uint32_t> seenAreas;
  uint32_t kind = 0, active = 9, id = 0, type = 0;
  std::u16string message;
  sink_->hook = [&](uint32_t code, uintptr_t p1, uintptr_t) {
    if (code != kEvEmergencyAlarm) return;
    auto* alarm = reinterpret_cast<IZantEmergencyAlarm*>(p1);
    alarm->IsActive(&active);
    alarm->GetId(&id, 0);
    alarm->GetType(&type);
    uint32_t dummy = 0;
    alarm->GetKind(&dummy, &kind);
    uint32_t n = 0;
    alarm->GetAreaCodes(nullptr, &n);
    seenAreas.resize(n);
    alarm->GetAreaCodes(seenAreas.data(), &n);
    McPtr<IZantEnum> messages;
    alarm->GetMessages(messages.put(), 0);
    IMcUnknown* item = nullptr;
    if (messages->Next(1, &item, nullptr) == plat::S_OK) {
      char16_t buf[260];
      uint32_t len = 260;
      static_cast<IZantAlarmMessage*>(item)->GetText(0, buf, &len);
      message = buf;
      item->Release();
    }
  };
  const uint32_t areas[] = {2732, 1388};
  ASSERT_EQ(control_->RaiseAlarm(kAlarmKindEarthquake, areas, 2, 60000), plat::S_OK);
  EXPECT_EQ(active, 1u);
  EXPECT_EQ(kind, kAlarmKindEarthquake);
  EXPECT_EQ(sourceStandard(type), 4u);
  EXPECT_EQ(seenAreas, (std::vector<uint32_t>{2732, 1388}));
  EXPECT_FALSE(message.empty());
  McPtr<IZantEmergencyAlarm> current;
  EXPECT_EQ(streams_->GetEmergencyAlarm(current.put()), plat::S_OK);
  uint32_t firstId = id;
  advance(60000, 1000);
  EXPECT_EQ(active, 0u);
  EXPECT_EQ(id, firstId);
  current.reset();
  EXPECT_EQ(streams_->GetEmergencyAlarm(current.put()), plat::S_FALSE);
}

// At 09:00 local on the clock's first day, 日本テレビ (index 3) shows a film
// rated 12.
TEST_F(EngineTest, ParentalAgeBlocksRatedProgrammes) {
  openLive();
  tokyoLineUp();
  auto settings = mcQuery<IZantPlayerSettings>(player_.get());
  struct Case {
    uint32_t age;
    size_t blocks;
  };
  const Case cases[] = {{0, 0}, {10, 1}, {12, 0}, {15, 0}};
  for (const Case& c : cases) {
    ASSERT_EQ(settings->SetDWORD(kSetParentalAge, c.age), plat::S_OK);
    sink_->clear();
    ASSERT_EQ(channels_->SelectByIndex(3), plat::S_OK);
    EXPECT_EQ(sink_->count(kEvParentalBlocked), c.blocks) << "age " << c.age;
    if (c.blocks) {
      for (const auto& e : sink_->events()) {
        if (e.code == kEvParentalBlocked) {
          EXPECT_EQ(e.p1, 12u);
        }
      }
    }
  }
  // Lowering the age on the channel blocks at once.
  sink_->clear();
  settings->SetDWORD(kSetParentalAge, 6);
  EXPECT_EQ(sink_->count(kEvParentalBlocked), 1u);
}

TEST_F(EngineTest, SettingsHaveRangesAndKinds) {
  openLive();
  auto settings = mcQuery<IZantPlayerSettings>(player_.get());
  ASSERT_TRUE(settings);
  uint32_t ids[260];
  uint32_t n = 260;
  ASSERT_EQ(settings->GetSupportedIds(&n, ids), plat::S_OK);
  EXPECT_EQ(n, 23u);
  struct Case {
    uint32_t id;
    uint32_t value;
    Status expected;
  };
  const Case cases[] = {
      {kSetBrightness, 127, plat::S_OK}, {kSetBrightness, 256, plat::E_INVALIDARG}, {kSetVolume, 100, plat::S_OK},
      {kSetVolume, 101, plat::E_INVALIDARG}, {kSetTimeShiftSeconds, 0, plat::E_INVALIDARG},
      {kSetTimeShiftSeconds, 1200, plat::S_OK}, {kSetRecordPath, 1, plat::E_INVALIDARG}, {0, 0, plat::E_INVALIDARG},
      {24, 0, plat::E_INVALIDARG}, {kSetVideoOutput, 0, plat::S_OK}};
  for (const Case& c : cases) EXPECT_EQ(settings->SetDWORD(c.id, c.value), c.expected) << c.id << " " << c.value;
  uint32_t v = 0;
  settings->GetDWORD(kSetBrightness, &v);
  EXPECT_EQ(v, 127u);
  int32_t lo = -1, hi = -1, factory = -1;
  ASSERT_EQ(settings->GetRange(kSetParentalAge, &lo, &hi, &factory), plat::S_OK);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 20);
  EXPECT_EQ(settings->SetString(kSetSnapshotPath, u"\\Storage Card\\Snap"), plat::S_OK);
  char16_t path[260];
  settings->GetString(kSetSnapshotPath, path, 260);
  EXPECT_EQ(std::u16string(path), u"\\Storage Card\\Snap");
  std::u16string tooLong(300, u'a');
  EXPECT_EQ(settings->SetString(kSetSnapshotPath, tooLong.c_str()), plat::E_INVALIDARG);
  EXPECT_EQ(settings->SetString(kSetVolume, u"x"), plat::E_INVALIDARG);
}

TEST_F(EngineTest, TestInterfaceInjectsWithholdsAndLogs) {
  openLive();
  tokyoLineUp();
  ASSERT_EQ(control_->InjectFailure("IZantChannelManager::SelectByIndex", plat::E_UNEXPECTED, 1), plat::S_OK);
  sink_->clear();
  EXPECT_EQ(channels_->SelectByIndex(1), plat::E_UNEXPECTED);
  EXPECT_TRUE(sink_->events().empty());
  EXPECT_EQ(channels_->SelectByIndex(1), plat::S_OK);  // armed for one call

  control_->WithholdInterface(IZantRecorder::iid, 1);
  EXPECT_FALSE(mcQuery<IZantRecorder>(player_.get()));
  control_->WithholdInterface(IZantRecorder::iid, 0);
  EXPECT_TRUE(mcQuery<IZantRecorder>(player_.get()));
  control_->WithholdInterface(IZantServiceStreams::iid, 1);
  McPtr<IZantServiceStreams> s;
  EXPECT_EQ(player_->GetServiceStreams(s.put()), plat::E_NOINTERFACE);
  control_->WithholdInterface(IZantServiceStreams::iid, 0);

  uint32_t needed = 0;
  control_->GetCallLog(nullptr, 0, &needed);
  std::string log(needed, '\0');
  ASSERT_EQ(control_->GetCallLog(log.data(), needed, &needed), plat::S_OK);
  EXPECT_NE(log.find("IZantChannelManager::SelectByIndex\n"), std::string::npos);
  EXPECT_NE(log.find("IZantMediaPlayer::Open\n"), std::string::npos);

  // A scripted event arrives after its delay, on the clock.
  sink_->clear();
  control_->ScriptEvent(500, kEvApplicationHide, 0, 0);
  advance(400);
  EXPECT_EQ(sink_->count(kEvApplicationHide), 0u);
  advance(200);
  EXPECT_EQ(sink_->count(kEvApplicationHide), 1u);
}

TEST_F(EngineTest, ScenarioFilesAreCheckedAndReplaceTheWorld) {
  const char* bad[] = {
      "<scenario><channel sid='1' name='x' freq='0'/></scenario>",
      "<scenario><unknown/></scenario>",
      "<notscenario/>",
      "<scenario><channel sid='99999' name='x' freq='1'/></scenario>",
      "<scenario><device id='1' name='t' type='0x99999999999'/></scenario>",
      "<scenario",
  };
  for (const char* xml : bad) EXPECT_EQ(control_->LoadScenarioText(xml, std::strlen(xml)), plat::E_DATA_INVALID) << xml;
  const char* small =
      "<scenario><device id='1' name='Tuner' type='0x40040001'/>"
      "<country id='81' name='日本'><region id='13' name='東京都'/></country>"
      "<channel sid='0x10' tsid='0x20' name='テスト' freq='557143'><programme minutes='30' title='A'/></channel>"
      "</scenario>";
  ASSERT_EQ(control_->LoadScenarioText(small, std::strlen(small)), plat::S_OK);
  openLive();
  ASSERT_EQ(store_->Set(kPropRegion, 13), plat::S_OK);
  uint32_t n = 0;
  channels_->GetCount(&n);
  EXPECT_EQ(n, 1u);
  // Refused while a source is open.
  EXPECT_EQ(control_->LoadScenarioText(small, std::strlen(small)), plat::E_FAIL);
}

TEST_F(EngineTest, ScenarioScriptPlaysOnTheClock) {
  const char* xml =
      "<scenario><device id='1' name='Tuner' type='0x40040001'/>"
      "<channel sid='0x10' tsid='0x20' name='テスト' freq='557143'/>"
      "<battery at='200' level='15' charging='1'/>"
      "<alarm at='1000' kind='tsunami' areas='2732 1388' duration='500'/>"
      "<signal at='1800' level='5'/>"
      "</scenario>";
  ASSERT_EQ(control_->LoadScenarioText(xml, static_cast<uint32_t>(std::strlen(xml))), plat::S_OK);
  openLive();
  std::vector<std::pair<uint32_t, uint32_t>> alarms;  // (kind, active)
  int32_t battery = -1;
  sink_->hook = [&](uint32_t code, uintptr_t p1, uintptr_t) {
    if (code == kEvEmergencyAlarm) {
      uint32_t cat = 0, kind = 0, active = 0;
      reinterpret_cast<IZantEmergencyAlarm*>(p1)->GetKind(&cat, &kind);
      reinterpret_cast<IZantEmergencyAlarm*>(p1)->IsActive(&active);
      alarms.push_back({kind, active});
    } else if (code == kEvBattery) {
      battery = reinterpret_cast<const ZantBatteryStatus*>(p1)->level;
    }
  };
  advance(300);
  EXPECT_EQ(battery, 15);
  advance(1500);
  EXPECT_EQ(alarms, (std::vector<std::pair<uint32_t, uint32_t>>{{kAlarmKindTsunami, 1}, {kAlarmKindTsunami, 0}}));
  sink_->hook = nullptr;
}

}  // namespace
}  // namespace enginetest
