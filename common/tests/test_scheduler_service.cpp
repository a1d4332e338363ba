// The scheduler service against the simulated engine and the SQLite-backed
// scheduler libraries, all loaded by module name.
#include <gtest/gtest.h>

#include "engine_test_base.h"
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "plat/clock.h"
#include "plat/file.h"
#include "plat/module.h"
#include "plat/paths.h"
#include "plat/window.h"
#include "vexo/collection.h"
#include "vexo/scheduler.h"
#include "zant/test_control.h"

namespace {

using namespace zansk;

class RecordingSink final : public McObject<IZantMediaEventSink> {
 public:
  Status OnEvent(IMcUnknown*, uint32_t code, uintptr_t p1, uintptr_t) override {
    std::lock_guard lock(mutex_);
    events_.push_back({code, p1});
    return plat::S_OK;
  }
  std::vector<std::pair<uint32_t, uintptr_t>> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  ~RecordingSink() override = default;
  std::mutex mutex_;
  std::vector<std::pair<uint32_t, uintptr_t>> events_;
};

std::u16string textField(IZanskRecord* record, uint32_t field) {
  char16_t text[260] = {};
  EXPECT_EQ(record->GetField(field, text, sizeof text), plat::S_OK) << field;
  text[259] = 0;
  return text;
}
uint32_t wordField(IZanskRecord* record, uint32_t field) {
  uint32_t value = 0;
  EXPECT_EQ(record->GetField(field, &value, sizeof value), plat::S_OK) << field;
  return value;
}
TimeValue timeField(IZanskRecord* record, uint32_t field) {
  TimeValue value{};
  EXPECT_EQ(record->GetField(field, &value, sizeof value), plat::S_OK) << field;
  return value;
}
bool operator==(const TimeValue& a, const ZantTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
         a.second == b.second;
}

class SchedulerServiceTest : public vexotest::EngineTestBase {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(startEngine("schedsvc", 0));
    auto createPlayer = engine_->function<ZantCreateMediaPlayerFn>(zant::kFactoryMediaPlayer);
    auto createManager = engine_->function<ZantCreateDeviceManagerFn>(zant::kFactoryDeviceManager);
    ASSERT_TRUE(createPlayer && createManager);
    sink_ = McPtr<RecordingSink>::adopt(new RecordingSink());
    ASSERT_EQ(CoCreateVexoCmnScheduler(scheduler_.put()), plat::S_OK);
    ASSERT_TRUE(scheduler_);
  }
  void TearDown() override {
    scheduler_.reset();
    if (player_) player_->CloseSource();
    channels_.reset();
    player_.reset();
    stopEngine();
  }

  // Opens the live tuner and restricts reception to Tokyo: ten channels.
  void tokyo() {
    auto createPlayer = engine_->function<ZantCreateMediaPlayerFn>(zant::kFactoryMediaPlayer);
    auto createManager = engine_->function<ZantCreateDeviceManagerFn>(zant::kFactoryDeviceManager);
    McPtr<IZantSourceDeviceManager> devices;
    ASSERT_EQ(createManager(&IZantSourceDeviceManager::iid, devices.putVoid(), 0), plat::S_OK);
    McPtr<IZantEnum> list;
    ASSERT_EQ(devices->EnumDevices(zant::kSourceClassLive, list.put()), plat::S_OK);
    IMcUnknown* item = nullptr;
    ASSERT_EQ(list->Next(1, &item, nullptr), plat::S_OK);
    auto tuner = McPtr<IZantSourceDevice>::adopt(static_cast<IZantSourceDevice*>(item));
    ASSERT_EQ(createPlayer(&IZantMediaPlayer::iid, player_.putVoid()), plat::S_OK);
    ASSERT_EQ(player_->Open(tuner.get(), 0, nullptr, nullptr, nullptr), plat::S_OK);
    McPtr<IZantServiceStreams> streams;
    ASSERT_EQ(player_->GetServiceStreams(streams.put()), plat::S_OK);
    channels_ = mcQuery<IZantChannelManager>(streams.get());
    auto store = mcQuery<IZantPropertyStore>(streams.get());
    ASSERT_TRUE(channels_ && store);
    ASSERT_EQ(store->Set(zant::kPropRegion, 13), plat::S_OK);
  }
  McPtr<IZantChannel> channel(int32_t index) {
    McPtr<IZantEnum> list;
    EXPECT_EQ(channels_->GetList(list.put()), plat::S_OK);
    McPtr<IZantChannel> found;
    int32_t i = 0;
    forEachItem(list.get(), [&](IMcUnknown* item) {
      if (i++ == index) found = mcQuery<IZantChannel>(item);
      return !found;
    });
    return found;
  }
  static McPtr<IZantProgramme> programme(IZantChannel* channel, int index) {
    McPtr<IZantEnum> events;
    EXPECT_EQ(channel->GetEvents(events.put()), plat::S_OK);
    McPtr<IZantProgramme> found;
    int i = 0;
    forEachItem(events.get(), [&](IMcUnknown* item) {
      if (i++ == index) found = mcQuery<IZantProgramme>(item);
      return !found;
    });
    return found;
  }
  uint32_t count(IZanskRecordStore* store, uint32_t kind) {
    uint32_t n = 0;
    EXPECT_EQ(store->GetCount(kind, &n), plat::S_OK);
    return n;
  }

  McPtr<IZantMediaPlayer> player_;
  McPtr<IZantChannelManager> channels_;
  McPtr<RecordingSink> sink_;
  McPtr<IVexoCmnScheduler> scheduler_;
};

TEST_F(SchedulerServiceTest, HoldsItsPiecesAndMakesTheDatabaseFolder) {
  EXPECT_NE(scheduler_->GetEventScheduler(), nullptr);
  EXPECT_NE(scheduler_->GetChannelDatabase(), nullptr);
  EXPECT_NE(scheduler_->GetReminderDialog(), nullptr);
  EXPECT_TRUE(plat::directoryExists(u"\\Application Data\\Norvale\\Ondavue\\SchedulerDatabase"));
  void* p = nullptr;
  ASSERT_EQ(scheduler_->QueryInterface(IID_IVexoCmnScheduler, &p), plat::S_OK);
  static_cast<IMcUnknown*>(p)->Release();
}

TEST_F(SchedulerServiceTest, ReservationRoundTripWithItsFields) {
  tokyo();
  auto nhk = channel(0);
  ASSERT_TRUE(nhk);
  auto show = programme(nhk.get(), 1);
  ASSERT_TRUE(show);
  ASSERT_EQ(scheduler_->Advise(sink_->identity(), sink_->exposed()), plat::S_OK);

  uint32_t answer = 9;
  ASSERT_EQ(scheduler_->IsReserved(show.get(), &answer), plat::S_OK);
  EXPECT_EQ(answer, kFree);
  ASSERT_EQ(scheduler_->AddReservation(nhk.get(), show.get(), kReservationRecord), plat::S_OK);
  ASSERT_EQ(scheduler_->IsReserved(show.get(), &answer), plat::S_OK);
  EXPECT_EQ(answer, kAlreadyReserved);

  McPtr<IZanskRecord> record;
  ASSERT_EQ(scheduler_->FindReservation(show.get(), record.put()), plat::S_OK);
  uint32_t id = 0;
  ASSERT_EQ(record->GetId(&id), plat::S_OK);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(sink_->events(), (std::vector<std::pair<uint32_t, uintptr_t>>{{zant::kEvSchedulerAdded, id}}));

  uint32_t programmeId = 0;
  show->GetId(&programmeId);
  char16_t title[260] = {}, key[260] = {}, display[260] = {};
  show->GetTitle(title, 260);
  nhk->GetName(key, 260);
  uint32_t length = 260;
  nhk->GetDisplayName(display, &length);
  McPtr<IZantEnum> times;
  ASSERT_EQ(show->GetTimes(times.put()), plat::S_OK);
  IMcUnknown* first = nullptr;
  ASSERT_EQ(times->Next(1, &first, nullptr), plat::S_OK);
  auto entry = McPtr<IZantEventTime>::adopt(static_cast<IZantEventTime*>(first));
  ZantTime start{}, end{};
  entry->GetStartTime(1, &start);
  entry->GetEndTime(&end);

  EXPECT_EQ(wordField(record.get(), kFieldProgrammeId), programmeId);
  EXPECT_EQ(textField(record.get(), kFieldTitle), title);
  EXPECT_TRUE(timeField(record.get(), kFieldStart) == start);
  EXPECT_TRUE(timeField(record.get(), kFieldEnd) == end);
  EXPECT_NE(key[0], 0);
  EXPECT_EQ(textField(record.get(), kFieldChannelKey), key);
  EXPECT_EQ(textField(record.get(), kFieldSecondName), display);
  EXPECT_EQ(wordField(record.get(), kFieldReservationType), kReservationRecord);
  EXPECT_EQ(wordField(record.get(), kFieldLeadSeconds), 300u);

  // The same programme again: E_FAIL and nothing added.
  EXPECT_EQ(scheduler_->AddReservation(nhk.get(), show.get(), kReservationWatch), plat::E_FAIL);
  EXPECT_EQ(count(scheduler_->GetEventScheduler(), kKindReservation), 1u);

  McPtr<IZanskRecord> writable;
  ASSERT_EQ(scheduler_->GetRecord(id, writable.put()), plat::S_OK);
  EXPECT_EQ(wordField(writable.get(), kFieldProgrammeId), programmeId);

  ASSERT_EQ(scheduler_->DeleteReservation(show.get()), plat::S_OK);
  McPtr<IZanskRecord> gone;
  EXPECT_EQ(scheduler_->FindReservation(show.get(), gone.put()), plat::E_FAIL);
  EXPECT_EQ(scheduler_->DeleteReservation(show.get()), plat::E_FAIL);
  EXPECT_EQ(scheduler_->Unadvise(sink_->identity(), sink_->exposed()), plat::S_OK);
}

TEST_F(SchedulerServiceTest, ReservationsPersistInTheDatabaseFolder) {
  tokyo();
  auto nhk = channel(0);
  auto show = programme(nhk.get(), 1);
  ASSERT_EQ(scheduler_->AddReservation(nhk.get(), show.get(), kReservationWatch), plat::S_OK);
  scheduler_.reset();
  ASSERT_EQ(CoCreateVexoCmnScheduler(scheduler_.put()), plat::S_OK);
  McPtr<IZanskRecord> record;
  ASSERT_EQ(scheduler_->FindReservation(show.get(), record.put()), plat::S_OK);
  EXPECT_EQ(wordField(record.get(), kFieldReservationType), kReservationWatch);
}

TEST_F(SchedulerServiceTest, BadArguments) {
  tokyo();
  auto nhk = channel(0);
  auto show = programme(nhk.get(), 1);
  McPtr<IZanskRecord> record;
  uint32_t answer = 0;
  EXPECT_EQ(scheduler_->AddReservation(nullptr, show.get(), kReservationWatch), plat::E_INVALIDARG);
  EXPECT_EQ(scheduler_->AddReservation(nhk.get(), nullptr, kReservationWatch), plat::E_INVALIDARG);
  EXPECT_EQ(scheduler_->FindReservation(nullptr, record.put()), plat::E_INVALIDARG);
  EXPECT_EQ(scheduler_->FindReservation(show.get(), nullptr), plat::E_INVALIDARG);
  EXPECT_EQ(scheduler_->DeleteRecord(nullptr, 0), plat::E_INVALIDARG);
  EXPECT_EQ(scheduler_->DeleteReservation(nullptr), plat::E_INVALIDARG);
  EXPECT_EQ(scheduler_->GetRecord(1, nullptr), plat::E_INVALIDARG);
  EXPECT_EQ(scheduler_->IsReserved(show.get(), nullptr), plat::E_INVALIDARG);
  EXPECT_EQ(scheduler_->IsReserved(nullptr, &answer), plat::E_INVALIDARG);
}

TEST_F(SchedulerServiceTest, ReplaceChannelsCopiesTheEngineList) {
  tokyo();
  IZanskChannelDatabase* db = scheduler_->GetChannelDatabase();
  ASSERT_NE(db, nullptr);
  McPtr<IZantEnum> list;
  ASSERT_EQ(channels_->GetList(list.put()), plat::S_OK);
  ASSERT_EQ(scheduler_->ReplaceChannels(list.get()), plat::S_OK);
  ASSERT_EQ(count(db, kKindChannel), 10u);

  // Again: replaced, not doubled.
  list->Reset();
  ASSERT_EQ(scheduler_->ReplaceChannels(list.get()), plat::S_OK);
  ASSERT_EQ(count(db, kKindChannel), 10u);
  uint32_t ids[10] = {};
  uint32_t n = 10;
  ASSERT_EQ(db->GetIds(kKindChannel, &n, ids), plat::S_OK);
  McPtr<IZanskRecord> first;
  ASSERT_EQ(db->GetRecord(ids[0], 0, first.put()), plat::S_OK);
  auto nhk = channel(0);
  uint32_t channelId = 0;
  nhk->GetId(&channelId);
  char16_t key[260] = {}, display[260] = {};
  nhk->GetName(key, 260);
  uint32_t length = 260;
  nhk->GetDisplayName(display, &length);
  EXPECT_NE(key[0], 0);
  EXPECT_EQ(wordField(first.get(), kFieldChannelId), channelId);
  EXPECT_EQ(textField(first.get(), kFieldChannelName), key);
  EXPECT_EQ(textField(first.get(), kFieldChannelDisplayName), display);

  // An exhausted enumerator and no enumerator both leave the database empty.
  ASSERT_EQ(scheduler_->ReplaceChannels(list.get()), plat::S_OK);
  EXPECT_EQ(count(db, kKindChannel), 0u);
  list->Reset();
  ASSERT_EQ(scheduler_->ReplaceChannels(list.get()), plat::S_OK);
  ASSERT_EQ(scheduler_->ReplaceChannels(nullptr), plat::S_OK);
  EXPECT_EQ(count(db, kKindChannel), 0u);
}

TEST_F(SchedulerServiceTest, ConfirmedReminderReachesTheSinkThroughTheDialog) {
  ASSERT_EQ(scheduler_->Advise(sink_->identity(), sink_->exposed()), plat::S_OK);
  IZanskReminderDialog* dialog = scheduler_->GetReminderDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(dialog->Show(42, u"ニュース", u"NHK"), plat::S_OK);
  ASSERT_EQ(dialog->Answer(42, 1), plat::S_OK);
  EXPECT_EQ(sink_->events(), (std::vector<std::pair<uint32_t, uintptr_t>>{{zant::kEvSchedulerConfirm, 42}}));
  ASSERT_EQ(scheduler_->Unadvise(sink_->identity(), sink_->exposed()), plat::S_OK);
  ASSERT_EQ(dialog->Show(43, u"ニュース", u"NHK"), plat::S_OK);
  ASSERT_EQ(dialog->Answer(43, 1), plat::S_OK);
  EXPECT_EQ(sink_->events().size(), 1u);
}

TEST_F(SchedulerServiceTest, TeardownBroadcastsDbChangedOnce) {
  const uint32_t message = plat::registerMessage(vexo::kDbChangedMessageName);
  ASSERT_NE(message, 0u);
  int seen = 0;
  plat::WindowClass windowClass{u"SchedulerServiceTestWindow", 0,
                                [&](plat::Window w, uint32_t m, plat::WParam wp, plat::LParam lp) -> plat::LResult {
                                  if (m == message && wp == 0 && lp == 0) ++seen;
                                  return plat::defaultWindowProc(w, m, wp, lp);
                                },
                                {}};
  ASSERT_TRUE(plat::registerClass(windowClass));
  plat::CreateWindowParams params;
  params.className = u"SchedulerServiceTestWindow";
  params.rect = {0, 0, 10, 10};
  plat::Window window = plat::createWindow(params);
  ASSERT_TRUE(window);
  plat::pumpPendingMessages();
  scheduler_.reset();
  plat::pumpPendingMessages();
  EXPECT_EQ(seen, 1);
  plat::destroyWindow(window);
  plat::unregisterClass(u"SchedulerServiceTestWindow");
}

// A missing library or dialog leaves only that piece out.
TEST_F(SchedulerServiceTest, WithoutTheSchedulerLibraryOnlyTheDialogWorks) {
  scheduler_.reset();
  plat::registerModuleStandIn(kSchedulerModuleName, {});
  ASSERT_EQ(CoCreateVexoCmnScheduler(scheduler_.put()), plat::S_OK);
  plat::unregisterModuleStandIn(kSchedulerModuleName);
  ASSERT_TRUE(scheduler_);
  EXPECT_EQ(scheduler_->GetEventScheduler(), nullptr);
  EXPECT_EQ(scheduler_->GetChannelDatabase(), nullptr);
  EXPECT_NE(scheduler_->GetReminderDialog(), nullptr);
  tokyo();
  auto nhk = channel(0);
  auto show = programme(nhk.get(), 1);
  McPtr<IZanskRecord> record;
  uint32_t answer = 0;
  EXPECT_EQ(scheduler_->AddReservation(nhk.get(), show.get(), kReservationWatch), plat::E_FAIL);
  EXPECT_EQ(scheduler_->IsReserved(show.get(), &answer), plat::E_FAIL);
  EXPECT_EQ(scheduler_->FindReservation(show.get(), record.put()), plat::E_FAIL);
  EXPECT_EQ(scheduler_->DeleteReservation(show.get()), plat::E_FAIL);
  EXPECT_EQ(scheduler_->GetRecord(1, record.put()), plat::E_FAIL);
  EXPECT_EQ(scheduler_->Start(), plat::E_FAIL);
  EXPECT_EQ(scheduler_->Stop(), plat::E_FAIL);
  EXPECT_EQ(scheduler_->ReplaceChannels(nullptr), plat::E_FAIL);
  EXPECT_EQ(scheduler_->Advise(sink_->identity(), sink_->exposed()), plat::E_FAIL);
  EXPECT_EQ(scheduler_->Unadvise(sink_->identity(), sink_->exposed()), plat::E_FAIL);
}

TEST_F(SchedulerServiceTest, WithoutTheDialogReservationsStillWork) {
  scheduler_.reset();
  plat::registerModuleStandIn(kDialogModuleName, {});
  ASSERT_EQ(CoCreateVexoCmnScheduler(scheduler_.put()), plat::S_OK);
  plat::unregisterModuleStandIn(kDialogModuleName);
  EXPECT_EQ(scheduler_->GetReminderDialog(), nullptr);
  ASSERT_EQ(scheduler_->Advise(sink_->identity(), sink_->exposed()), plat::S_OK);
  tokyo();
  auto nhk = channel(0);
  auto show = programme(nhk.get(), 1);
  ASSERT_EQ(scheduler_->AddReservation(nhk.get(), show.get(), kReservationWatch), plat::S_OK);
  EXPECT_EQ(sink_->events().size(), 1u);
  EXPECT_EQ(scheduler_->Start(), plat::S_OK);
  EXPECT_EQ(scheduler_->Stop(), plat::S_OK);
  EXPECT_EQ(scheduler_->Unadvise(sink_->identity(), sink_->exposed()), plat::S_OK);
}

}  // namespace
