// The scheduler libraries: records in SQLite, reservations and their times,
// the channel database and the reminder dialog.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine_fixture.h"
#include "plat/sync.h"
#include "zant/scheduler.h"

namespace enginetest {
namespace {

using namespace zansk;

class SchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("zansk-" + std::to_string(::getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    plat::PathConfig cfg;
    cfg.deviceRoot = root_;
    cfg.programDir = root_ / "program";
    plat::configurePaths(cfg);
    scoped_ = std::make_unique<plat::ScopedClock>(clock_);  // 2026-01-01 09:00 local (UTC+9)
    lib_ = plat::loadModule(std::string_view(kSchedulerModuleName));
    dlgLib_ = plat::loadModule(std::string_view(kDialogModuleName));
    ASSERT_TRUE(lib_ && dlgLib_);
    create_ = lib_->function<ZanskCreateFn>(kFactoryScheduler);
    createDlg_ = dlgLib_->function<ZanskCreateFn>(kFactoryDialog);
    ASSERT_TRUE(create_ && createDlg_);
    ASSERT_EQ(create_(&kClassEventScheduler, nullptr, 0, &IZanskEventScheduler::iid, events_.putVoid()), plat::S_OK);
    ASSERT_EQ(create_(&kClassChannelDatabase, nullptr, 0, &IZanskChannelDatabase::iid, channels_.putVoid()), plat::S_OK);
    ASSERT_EQ(events_->Open(kFolder), plat::S_OK);
    ASSERT_EQ(channels_->Open(kFolder), plat::S_OK);
    sink_ = McPtr<RecordingSink>::adopt(new RecordingSink());
    ASSERT_EQ(events_->Advise(nullptr, sink_->sink()), plat::S_OK);
  }
  void TearDown() override {
    if (events_) {
      events_->Stop();
      events_->Unadvise(nullptr, sink_->sink());
    }
    events_.reset();
    channels_.reset();
    scoped_.reset();
    std::filesystem::remove_all(root_);
  }

  static void putTime(IZanskRecord* r, uint32_t field, int h, int m) {
    TimeValue v{2026, 1, 1, h, m, 0};
    ASSERT_EQ(r->SetField(field, &v, sizeof v), plat::S_OK);
  }
  static void putWord(IZanskRecord* r, uint32_t field, uint32_t value) {
    ASSERT_EQ(r->SetField(field, &value, 4), plat::S_OK);
  }
  McPtr<IZanskRecord> reservation(uint32_t programme, int h1, int m1, int h2, int m2) {
    McPtr<IZanskRecord> r;
    EXPECT_EQ(events_->NewRecord(kKindReservation, r.put()), plat::S_OK);
    putWord(r.get(), kFieldProgrammeId, programme);
    char16_t title[260] = u"ニュース";
    r->SetField(kFieldTitle, title, sizeof title);
    putTime(r.get(), kFieldStart, h1, m1);
    putTime(r.get(), kFieldEnd, h2, m2);
    putWord(r.get(), kFieldReservationType, kReservationRecord);
    putWord(r.get(), kFieldLeadSeconds, 300);
    return r;
  }
  void advanceMinutes(int minutes) {
    for (int i = 0; i < minutes; ++i) {
      clock_.advance(60000);
      events_->Poll();
    }
  }

  static constexpr char16_t kFolder[] = u"\\Norvale\\Ondavue\\SchedulerDatabase";
  std::filesystem::path root_;
  plat::VirtualClock clock_;
  std::unique_ptr<plat::ScopedClock> scoped_;
  plat::ModuleHandle lib_, dlgLib_;
  ZanskCreateFn create_ = nullptr;
  ZanskCreateFn createDlg_ = nullptr;
  McPtr<IZanskEventScheduler> events_;
  McPtr<IZanskChannelDatabase> channels_;
  McPtr<RecordingSink> sink_;
};

TEST_F(SchedulerTest, FactoryRefusesUnknownClassesAndAggregation) {
  McPtr<IMcUnknown> p;
  const Guid other = plat::guidLiteral("{01234567-89AB-CDEF-0123-456789ABCDEF}");
  EXPECT_EQ(create_(&other, nullptr, 0, &IID_IUnknown, p.putVoid()), plat::E_FAIL);
  EXPECT_EQ(create_(&kClassEventScheduler, events_.get(), 0, &IID_IUnknown, p.putVoid()), plat::E_INVALIDARG);
  EXPECT_EQ(create_(&kClassEventScheduler, nullptr, 0, &IZanskChannelDatabase::iid, p.putVoid()), plat::E_NOINTERFACE);
}

TEST_F(SchedulerTest, ReservationsAreStoredAndCheckedForConflicts) {
  auto r = reservation(0x05880001, 10, 0, 11, 0);
  uint32_t answer = 9;
  ASSERT_EQ(events_->IsReserved(r.get(), &answer), plat::S_OK);
  EXPECT_EQ(answer, kFree);
  ASSERT_EQ(events_->AddRecord(r.get()), plat::S_OK);
  uint32_t id = 0;
  r->GetId(&id);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(sink_->codes(), std::vector<uint32_t>{zant::kEvSchedulerAdded});
  EXPECT_EQ(sink_->events()[0].p1, id);
  EXPECT_EQ(events_->AddRecord(r.get()), plat::E_INVALIDARG);  // already stored

  auto same = reservation(0x05880001, 10, 0, 11, 0);
  events_->IsReserved(same.get(), &answer);
  EXPECT_EQ(answer, kAlreadyReserved);
  auto overlap = reservation(0x05C80002, 10, 30, 11, 30);
  events_->IsReserved(overlap.get(), &answer);
  EXPECT_EQ(answer, kTimeConflict);
  auto later = reservation(0x05C80003, 11, 0, 12, 0);
  events_->IsReserved(later.get(), &answer);
  EXPECT_EQ(answer, kFree);

  uint32_t count = 0;
  events_->GetCount(kKindReservation, &count);
  EXPECT_EQ(count, 1u);
  uint32_t ids[4];
  uint32_t n = 4;
  ASSERT_EQ(events_->GetIds(kKindReservation, &n, ids), plat::S_OK);
  ASSERT_EQ(n, 1u);
  McPtr<IZanskRecord> back;
  ASSERT_EQ(events_->GetRecord(ids[0], 0, back.put()), plat::S_OK);
  uint32_t programme = 0;
  ASSERT_EQ(back->GetField(kFieldProgrammeId, &programme, 4), plat::S_OK);
  EXPECT_EQ(programme, 0x05880001u);
  char16_t title[260];
  ASSERT_EQ(back->GetField(kFieldTitle, title, sizeof title), plat::S_OK);
  EXPECT_EQ(std::u16string(title), u"ニュース");
  char small[2];
  EXPECT_EQ(back->GetField(kFieldTitle, small, 2), plat::E_INVALIDARG);
  EXPECT_EQ(back->GetField(77, small, 2), plat::E_FAIL);
  std::string huge(kMaxFieldSize + 1, 'x');
  EXPECT_EQ(back->SetField(3, huge.data(), static_cast<uint32_t>(huge.size())), plat::E_INVALIDARG);

  // Kept on disk: a new scheduler on the same folder sees it.
  McPtr<IZanskEventScheduler> again;
  ASSERT_EQ(create_(&kClassEventScheduler, nullptr, 0, &IZanskEventScheduler::iid, again.putVoid()), plat::S_OK);
  ASSERT_EQ(again->Open(kFolder), plat::S_OK);
  again->GetCount(kKindReservation, &count);
  EXPECT_EQ(count, 1u);
  ASSERT_EQ(events_->DeleteRecord(back.get(), 0), plat::S_OK);
  again->GetCount(kKindReservation, &count);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(events_->DeleteById(id), plat::E_INVALIDARG);
}

TEST_F(SchedulerTest, ReminderStartAndStopComeAtTheirTimes) {
  ASSERT_EQ(events_->AddRecord(reservation(1, 10, 0, 10, 30).get()), plat::S_OK);
  sink_->clear();
  advanceMinutes(54);  // 09:54 local
  EXPECT_TRUE(sink_->events().empty());
  advanceMinutes(1);  // 09:55: five minutes of lead time
  EXPECT_EQ(sink_->codes(), std::vector<uint32_t>{zant::kEvSchedulerReminder});
  advanceMinutes(5);  // 10:00
  EXPECT_EQ(sink_->codes().back(), zant::kEvSchedulerStart);
  advanceMinutes(29);
  EXPECT_EQ(sink_->count(zant::kEvSchedulerStop), 0u);
  advanceMinutes(1);  // 10:30
  EXPECT_EQ(sink_->codes().back(), zant::kEvSchedulerStop);
  advanceMinutes(60);
  EXPECT_EQ(sink_->events().size(), 3u);  // each once
}

// A sink may call back into the scheduler from OnEvent: no lock is held then.
TEST_F(SchedulerTest, SinkMayPollFromInsideItsCallback) {
  ASSERT_EQ(events_->AddRecord(reservation(3, 9, 10, 9, 20).get()), plat::S_OK);
  int nested = 0;
  sink_->hook = [&](uint32_t code, uintptr_t, uintptr_t) {
    if (code == zant::kEvSchedulerStart) nested += events_->Poll() == plat::S_OK;
  };
  advanceMinutes(11);
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(sink_->count(zant::kEvSchedulerStart), 1u);
  sink_->hook = nullptr;
}

TEST_F(SchedulerTest, SchedulerThreadFollowsTheVirtualClock) {
  ASSERT_EQ(events_->AddRecord(reservation(2, 9, 30, 9, 40).get()), plat::S_OK);
  plat::Event started(plat::Event::Reset::Manual);
  sink_->hook = [&](uint32_t code, uintptr_t, uintptr_t) {
    if (code == zant::kEvSchedulerStart) started.set();
  };
  ASSERT_EQ(events_->Start(), plat::S_OK);
  clock_.advance(31 * 60000);
  ASSERT_TRUE(started.wait(10000));
  ASSERT_EQ(events_->Stop(), plat::S_OK);
  sink_->hook = nullptr;
}

TEST_F(SchedulerTest, ChannelDatabaseIsReplacedAndSaved) {
  for (uint32_t i = 0; i < 3; ++i) {
    McPtr<IZanskRecord> c;
    ASSERT_EQ(channels_->NewRecord(kKindChannel, c.put()), plat::S_OK);
    putWord(c.get(), kFieldChannelId, 0x7FE00588 + i);
    char16_t name[260] = u"NHK総合1・東京";
    c->SetField(kFieldChannelName, name, sizeof name);
    ASSERT_EQ(channels_->BeginUpdate(), plat::S_OK);
    ASSERT_EQ(channels_->AddRecord(c.get()), plat::S_OK);
    ASSERT_EQ(channels_->EndUpdate(), plat::S_OK);
  }
  uint32_t n = 0;
  channels_->GetCount(kKindChannel, &n);
  EXPECT_EQ(n, 3u);
  std::vector<uint32_t> ids(n);
  channels_->GetIds(kKindChannel, &n, ids.data());
  channels_->BeginUpdate();
  for (uint32_t id : ids) EXPECT_EQ(channels_->DeleteById(id), plat::S_OK);
  channels_->EndUpdate();
  channels_->GetCount(kKindChannel, &n);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(channels_->Save(kFolder), plat::S_OK);
  EXPECT_EQ(channels_->Save(u"\\Backup"), plat::S_OK);
  EXPECT_TRUE(std::filesystem::exists(root_ / "Backup" / "Channels.db"));
  EXPECT_EQ(channels_->EndUpdate(), plat::E_FAIL);  // unbalanced
}

TEST_F(SchedulerTest, ReminderDialogConfirmsToItsSinks) {
  McPtr<IZanskReminderDialog> dlg;
  ASSERT_EQ(createDlg_(&kClassReminderDialog, nullptr, 0, &IZanskReminderDialog::iid, dlg.putVoid()), plat::S_OK);
  auto events = mcQuery<IZanskDialogEvents>(dlg.get());
  ASSERT_TRUE(events);
  auto sink = McPtr<RecordingSink>::adopt(new RecordingSink());
  ASSERT_EQ(events->Advise(nullptr, sink->sink()), plat::S_OK);
  ASSERT_EQ(dlg->Show(7, u"ニュース", u"NHK総合"), plat::S_OK);
  ASSERT_EQ(dlg->Show(8, u"天気", u"NHK総合"), plat::S_OK);
  uint32_t pending = 0;
  dlg->GetPendingCount(&pending);
  EXPECT_EQ(pending, 2u);
  ASSERT_EQ(dlg->Answer(8, 0), plat::S_OK);
  EXPECT_TRUE(sink->events().empty());
  ASSERT_EQ(dlg->Answer(7, 1), plat::S_OK);
  ASSERT_EQ(sink->codes(), std::vector<uint32_t>{zant::kEvSchedulerConfirm});
  EXPECT_EQ(sink->events()[0].p1, 7u);
  EXPECT_EQ(dlg->Answer(7, 1), plat::E_INVALIDARG);
  events->Unadvise(nullptr, sink->sink());
}

}  // namespace
}  // namespace enginetest
