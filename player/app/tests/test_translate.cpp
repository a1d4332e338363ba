// The engine event sinks: each code becomes its one event with its payload,
// posted events reach the windows on the user-interface thread through the
// real dispatcher, sent events run at once on the reporting thread, the
// service-change counter, the control-flag table, the CA status query and
// the alarm reference.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "VexoCore.h"
#include "VexoEvents.h"
#include "app/translate/event_translation.h"
#include "plat/message.h"
#include "zant/engine.h"
#include "zant/event_codes.h"

namespace {

std::string hex(uintptr_t v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%#llx", static_cast<unsigned long long>(v));
  return buffer;
}

// A readable picture of an event and its payload, taken while it is alive.
std::string describe(VexoEvent* e) {
  switch (e->Type()) {
    case VexoEventStateChanged::kType:
      return "StateChanged(" + std::to_string(static_cast<VexoEventStateChanged*>(e)->GetState()) + ")";
    case VexoEventEndOfFile::kType: {
      auto* x = static_cast<VexoEventEndOfFile*>(e);
      return "EndOfFile(" + std::to_string(x->GetSpeed()) + "," + std::to_string(x->GetState()) + ")";
    }
    case VexoEventFirstVideoFrame::kType: return "FirstVideoFrame";
    case VexoEventPlayerNotSupport::kType:
      return "PlayerNotSupport(" + std::to_string(static_cast<VexoEventPlayerNotSupport*>(e)->GetErrorCode()) + ")";
    case VexoEventPlayerResolutionNotSupported::kType: {
      unsigned w = 0, h = 0;
      static_cast<VexoEventPlayerResolutionNotSupported*>(e)->GetResolution(&w, &h);
      return "ResolutionNotSupported(" + std::to_string(w) + "," + std::to_string(h) + ")";
    }
    case VexoEventTunerInitializing::kType: return "TunerInitializing";
    case VexoEventTunerInitialized::kType:
      return "TunerInitialized(" + std::to_string(static_cast<VexoEventTunerInitialized*>(e)->GetResult()) + ")";
    case VexoEventServiceChanging::kType: return "ServiceChanging";
    case VexoEventServiceChanged::kType: return "ServiceChanged";
    case VexoEventSignalChanged::kType: {
      auto* x = static_cast<VexoEventSignalChanged*>(e);
      return "SignalChanged(" + std::to_string(x->DisplaySignalIcon()) + "," + std::to_string(x->GetSignalLevel()) + ")";
    }
    case VexoEventSubtitleChanged::kType: return "SubtitleChanged";
    case VexoEventParentalBlocked::kType: return "ParentalBlocked";
    case VexoEventSignalQuality::kType:
      return "SignalQuality(" + std::to_string(static_cast<VexoEventSignalQuality*>(e)->GetQuality()) + ")";
    case VexoEventServiceUpdate::kType: return "ServiceUpdate";
    case VexoEventProgramUpdate::kType:
      return "ProgramUpdate(" +
             hex(reinterpret_cast<uintptr_t>(static_cast<VexoEventProgramUpdate*>(e)->GetService())) + ")";
    case VexoEventCAStatusUpdated::kType:
      return "CAStatusUpdated(" + hex(static_cast<VexoEventCAStatusUpdated*>(e)->GetStatus()) + ")";
    case VexoEventEmergencyAlarm::kType:
      return "EmergencyAlarm(" + hex(reinterpret_cast<uintptr_t>(static_cast<VexoEventEmergencyAlarm*>(e)->GetEvent())) +
             ")";
    case VexoEventBatteryStatus::kType: {
      auto* x = static_cast<VexoEventBatteryStatus*>(e);
      return "BatteryStatus(" + std::to_string(x->GetBatteryLevel()) + "," + (x->GetCharging() ? "true" : "false") + ")";
    }
    case VexoEventCreateNewFile::kType: {
      auto* x = static_cast<VexoEventCreateNewFile*>(e);
      std::u16string name(x->GetFileNameLength() + 1, u'\0');
      x->GetFileName(name.data(), static_cast<unsigned>(name.size()));
      name.pop_back();
      return "CreateNewFile(" + std::string(name.begin(), name.end()) + ")";
    }
    case VexoEventRecordLimitExceed::kType:
      return "RecordLimitExceed(" + std::to_string(static_cast<VexoEventRecordLimitExceed*>(e)->GetType()) + ")";
    case VexoEventRecordChannelRedirect::kType: {
      auto* x = static_cast<VexoEventRecordChannelRedirect*>(e);
      return "RecordChannelRedirect(" + std::to_string(x->GetCurrentIdx()) + "," + std::to_string(x->GetNewIdx()) + ")";
    }
    case VexoEventApplicationHide::kType: return "ApplicationHide";
    case VexoEventApplicationShow::kType: return "ApplicationShow";
    case VexoEventApplicationExit::kType: return "ApplicationExit";
    case VexoEventChangeFile::kType:
      return "ChangeFile(" + std::to_string(static_cast<VexoEventChangeFile*>(e)->GetDirection()) + ")";
    case VexoEventPlayerClosed::kType: return "PlayerClosed";
    case VexoEventEnableButton::kType: {
      auto* x = static_cast<VexoEventEnableButton*>(e);
      std::string on;
      for (unsigned i = 0; i < VexoEventEnableButton::kButtonCount; ++i) {
        if (x->GetButtonEnabled(i)) on += (on.empty() ? "" : ",") + std::to_string(i);
      }
      return "EnableButton(" + on + ")";
    }
    case VexoEventSourceChanged::kType: return "SourceChanged";
    case VexoEventTimeChanged::kType: {
      auto* x = static_cast<VexoEventTimeChanged*>(e);
      return "TimeChanged(" + std::to_string(x->GetHiOffset()) + "," + std::to_string(x->GetLowOffset()) + ")";
    }
    case VexoEventTimeShiftingStarted::kType: return "TimeShiftingStarted";
    case VexoEventTimeShiftingStopped::kType: return "TimeShiftingStopped";
    case VexoEventScanBegin::kType: return "ScanBegin";
    case VexoEventScanEnd::kType: return "ScanEnd";
    case VexoEventScanProgress::kType: {
      auto* x = static_cast<VexoEventScanProgress*>(e);
      if (x->GetLength() != static_cast<int>(sizeof(ZantScanStatus)) || x->GetStatus() == nullptr) {
        return "ScanProgress(bad length " + std::to_string(x->GetLength()) + ")";
      }
      ZantScanStatus status;
      std::memcpy(&status, x->GetStatus(), sizeof status);
      return "ScanProgress(" + std::to_string(status.percent) + "%," + std::to_string(status.physicalChannel) + ")";
    }
    case VexoEventSourceArrival::kType: return "SourceArrival";
    case VexoEventSourceRemoved::kType:
      return "SourceRemoved(" +
             hex(reinterpret_cast<uintptr_t>(static_cast<VexoEventSourceRemoved*>(e)->GetSourceContext())) + ")";
    case VexoEventDeviceCollected::kType: return "DeviceCollected";
    case VexoEventSchedulerEventConfirm::kType:
      return "SchedulerConfirm(" + std::to_string(static_cast<VexoEventSchedulerEventConfirm*>(e)->GetEventID()) + ")";
    case VexoEventSchedulerEventStart::kType:
      return "SchedulerStart(" + std::to_string(static_cast<VexoEventSchedulerEventStart*>(e)->GetEventID()) + ")";
    case VexoEventSchedulerEventStop::kType:
      return "SchedulerStop(" + std::to_string(static_cast<VexoEventSchedulerEventStop*>(e)->GetEventID()) + ")";
    case VexoEventSchedulerAddEvent::kType: return "SchedulerAddEvent";
    default: return "type " + std::to_string(e->Type());
  }
}

// A window stand-in: records every event it sees and the thread it saw it on.
class Recorder : public VexoObject {
 public:
  struct Seen {
    std::string what;
    std::thread::id thread;
  };
  bool Event(VexoEvent* e) override {
    std::lock_guard lock(mutex_);
    seen_.push_back({describe(e), std::this_thread::get_id()});
    return false;
  }
  std::vector<std::string> take() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (auto& s : seen_) out.push_back(s.what);
    seen_.clear();
    return out;
  }
  std::vector<Seen> takeSeen() {
    std::lock_guard lock(mutex_);
    return std::exchange(seen_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<Seen> seen_;
};

using Events = std::vector<std::string>;

class Translate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(VexoCoreReceiverWindow());
    plat::pumpPendingMessages();  // settles the recorder for other threads' sends
  }
  void TearDown() override {
    plat::pumpPendingMessages();
    EXPECT_EQ(VexoCoreQueuedEventCount(), 0u);
  }
  // Events delivered so far (sent ones), then those the message loop delivers.
  Events sentNow() { return recorder.take(); }
  Events afterPump() {
    plat::pumpPendingMessages();
    return recorder.take();
  }

  Recorder recorder;
};

McPtr<VexoPlayerSessionEventTranslation> makeSessionSink(
    VexoPlayerSessionEventTranslation::EngineQuery query = {}) {
  return McPtr<VexoPlayerSessionEventTranslation>::adopt(new VexoPlayerSessionEventTranslation(nullptr, std::move(query)));
}

// ---- the code table ----

struct Row {
  uint32_t code;
  uintptr_t p1, p2;
  Events sent;    // delivered during OnEvent
  Events posted;  // delivered by the message loop afterwards
};

const ZantBatteryStatus kBattery{73, 1};
const ZantBatteryStatus kBatteryIdle{5, 0};
const ZantRecordRedirect kRedirect{4, 9};
const char16_t kRecordName[] = u"\\Storage Card\\Record\\Ch3_0001.ts";
const ZantScanStatus kScan{40, 1, 37, 2, 5, 557143, 6000, 27, 81, 0};

uintptr_t ptr(const void* p) { return reinterpret_cast<uintptr_t>(p); }

const Row kSessionRows[] = {
    {0x20001, 4, 0, {}, {"StateChanged(4)"}},
    {0x20004, 2, 7, {}, {"EndOfFile(2,7)"}},
    {0x20009, 0, 0, {}, {"FirstVideoFrame"}},
    {0x2000D, 99, 12, {}, {"PlayerNotSupport(12)"}},
    {0x20014, 1920, 1080, {}, {"ResolutionNotSupported(1920,1080)"}},
    {0x30001, 0, 0, {}, {"TunerInitializing"}},
    {0x30002, 5, 0, {}, {"TunerInitialized(5)"}},
    {0x3000C, 3, 64, {}, {"SignalChanged(3,64)"}},
    {0x3000D, 0, 0, {}, {"SubtitleChanged"}},
    {0x3000E, 13, 0, {}, {"ParentalBlocked"}},
    {0x30011, 2, 0, {"SignalQuality(2)"}, {}},
    {0x30011, 1, 0, {"SignalQuality(1)"}, {}},
    {0x30011, 0, 0, {"SignalQuality(0)"}, {}},
    {0x30011, 7, 0, {"SignalQuality(0)"}, {}},
    {0x40002, 0, 0, {}, {"ServiceUpdate"}},
    {0x40003, 0, 0, {}, {"ServiceUpdate"}},
    {0x40004, 0, 0, {}, {"ServiceUpdate"}},
    {0x40007, 1, 0xC0FFEE, {}, {"ProgramUpdate(0xc0ffee)"}},
    {0x70005, ptr(&kBattery), 0, {}, {"BatteryStatus(73,true)"}},
    {0x70005, ptr(&kBatteryIdle), 0, {}, {"BatteryStatus(5,false)"}},
    {0x80001, ptr(kRecordName), 0, {}, {"CreateNewFile(\\Storage Card\\Record\\Ch3_0001.ts)"}},
    {0x80002, 0, 0, {}, {"RecordLimitExceed(2)"}},
    {0x80003, 0, 0, {}, {"RecordLimitExceed(1)"}},
    {0x80006, ptr(&kRedirect), 0, {}, {"RecordChannelRedirect(4,9)"}},
    {0xA0004, 0, 0, {}, {"ApplicationHide"}},
    {0xA0005, 0, 0, {}, {"ApplicationShow"}},
    {0xA0006, 0, 0, {}, {"ApplicationExit"}},
    {0xA0007, 1, 0, {}, {"ChangeFile(0)"}},
    {0xA0007, 0, 0, {}, {"ChangeFile(1)"}},
    {0x10000001, 0, 0, {}, {"PlayerClosed"}},
    {0x10000002, 0x3001, 0, {}, {"EnableButton(0,13,14)"}},
    {0x10000003, 0, 0, {}, {"SourceChanged"}},
    {0x10000004, 1500, 2, {}, {"TimeChanged(2,1500)"}},
    {0x10000005, 0, 0, {}, {"TimeShiftingStarted"}},
    {0x10000006, 0, 0, {}, {"TimeShiftingStopped"}},
    {0x10000007, 0, 0, {}, {"ScanBegin"}},
    {0x10000008, 0, 0, {}, {"ScanEnd"}},
    {0x10000009, 37, ptr(&kScan), {}, {"ScanProgress(37%,27)"}},
    // Codes the session sink does not translate, including the engine's raw
    // scan and capability codes, and codes of the other senders.
    {0x20002, 1, 1, {}, {}},
    {0x30005, 0, 0, {}, {}},
    {0x30006, 50, ptr(&kScan), {}, {}},
    {0x80008, 0, 0, {}, {}},
    {0x10001, 0, 0, {}, {}},
    {0x1803, 7, 0, {}, {}},
    {0, 0, 0, {}, {}},
    {0xFFFFFFFF, 1, 1, {}, {}},
    // Records behind a null pointer are not read.
    {0x60001, 0, 0, {}, {}},
    {0x70005, 0, 0, {}, {}},
    {0x80001, 0, 0, {}, {}},
    {0x80006, 0, 0, {}, {}},
    {0x10000009, 37, 0, {}, {}},
};

const Row kSourceManagerRows[] = {
    {0x10001, 0x1234, 0, {}, {"SourceArrival"}},
    {0x10002, 0x1234, 0xBEEF, {}, {"SourceRemoved(0xbeef)", "SignalChanged(0,0)"}},
    {0x10003, 0, 0, {}, {"DeviceCollected"}},
    {0x10004, 0, 0, {}, {}},
    {0x20001, 4, 0, {}, {}},
    {0x1802, 4, 0, {}, {}},
};

const Row kSchedulerRows[] = {
    {0x1802, 11, 0, {}, {"SchedulerConfirm(11)"}},
    {0x1803, 12, 0, {}, {"SchedulerStart(12)"}},
    {0x1804, 13, 0, {}, {"SchedulerStop(13)"}},
    {0x1902, 14, 0, {}, {"SchedulerAddEvent"}},
    {0x1801, 15, 0, {}, {}},
    {0x10001, 0, 0, {}, {}},
    {0x20001, 4, 0, {}, {}},
};

class TranslateTable : public Translate {
 protected:
  template <class Sink, size_t N>
  void checkRows(Sink* sink, const Row (&rows)[N]) {
    for (const Row& row : rows) {
      SCOPED_TRACE("code " + hex(row.code) + " p1 " + hex(row.p1) + " p2 " + hex(row.p2));
      EXPECT_EQ(sink->OnEvent(nullptr, row.code, row.p1, row.p2), plat::S_OK);
      EXPECT_EQ(sentNow(), row.sent);
      EXPECT_EQ(afterPump(), row.posted);
    }
  }
};

TEST_F(TranslateTable, SessionCodesBecomeTheirEvents) {
  auto sink = makeSessionSink();
  checkRows(sink.get(), kSessionRows);
}

TEST_F(TranslateTable, SourceManagerCodesBecomeTheirEvents) {
  auto sink = McPtr<VexoSourceManagerEventTranslator>::adopt(new VexoSourceManagerEventTranslator);
  checkRows(sink.get(), kSourceManagerRows);
}

TEST_F(TranslateTable, SchedulerCodesBecomeTheirEvents) {
  auto sink = McPtr<VexoSchedulerEventTranslator>::adopt(new VexoSchedulerEventTranslator);
  checkRows(sink.get(), kSchedulerRows);
}

TEST_F(Translate, RecordsAreCopiedNotKept) {
  auto sink = makeSessionSink();
  ZantScanStatus scan = kScan;
  char16_t name[] = u"\\NAND\\a.ts";
  sink->OnEvent(nullptr, zant::kEvSessionScanProgress, 0, ptr(&scan));
  sink->OnEvent(nullptr, zant::kEvRecordFileCreated, ptr(name), 0);
  scan.percent = 99;  // the sender's records are only valid for the call
  name[7] = u'X';
  EXPECT_EQ(afterPump(), (Events{"ScanProgress(37%,27)", "CreateNewFile(\\NAND\\a.ts)"}));
}

// ---- the service-change counter ----

TEST_F(Translate, ServiceChangeRaisesTheSignalWarningOncePerChange) {
  auto sink = makeSessionSink();
  struct Step {
    uint32_t code;
    uintptr_t p1;
    Events sent, posted;
    int count;
    bool warned;
  };
  const Step steps[] = {
      {zant::kEvServiceChanging, 0, {"ServiceChanging"}, {}, 0, false},
      {zant::kEvServiceChanged, 1, {}, {}, 1, false},
      {zant::kEvServiceChanged, 1, {}, {}, 2, false},
      {zant::kEvServiceChanged, 1, {"SignalQuality(2)"}, {"SignalChanged(1,0)"}, 3, true},
      {zant::kEvServiceChanged, 5, {}, {}, 4, true},
      {zant::kEvServiceChanged, 1, {}, {}, 5, true},
      // The service comes up: quality good and "changed", whatever the count.
      {zant::kEvServiceChanged, 0, {"SignalQuality(0)"}, {"ServiceChanged"}, 6, true},
      {zant::kEvServiceChanged, 1, {}, {}, 7, true},
      // A new channel change starts the count again.
      {zant::kEvServiceChanging, 0, {"ServiceChanging"}, {}, 0, false},
      {zant::kEvServiceChanged, 0, {"SignalQuality(0)"}, {"ServiceChanged"}, 1, false},
      {zant::kEvServiceChanged, 1, {}, {}, 2, false},
      {zant::kEvServiceChanged, 1, {"SignalQuality(2)"}, {"SignalChanged(1,0)"}, 3, true},
  };
  int i = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE("step " + std::to_string(i++));
    sink->OnEvent(nullptr, s.code, s.p1, 0);
    EXPECT_EQ(sentNow(), s.sent);
    EXPECT_EQ(afterPump(), s.posted);
    EXPECT_EQ(sink->serviceChangeCount(), s.count);
    EXPECT_EQ(sink->signalWarningRaised(), s.warned);
  }
}

TEST_F(Translate, ServiceUpWithoutAChangeStillReportsGoodSignal) {
  auto sink = makeSessionSink();
  sink->OnEvent(nullptr, zant::kEvServiceChanged, 0, 0);
  EXPECT_EQ(sentNow(), (Events{"SignalQuality(0)"}));
  EXPECT_EQ(afterPump(), (Events{"ServiceChanged"}));
}

// ---- control flags ----

TEST_F(Translate, ControlFlagBitsEnableTheirButtons) {
  auto sink = makeSessionSink();
  const std::pair<uint32_t, const char*> rows[] = {
      {0x0, "EnableButton()"},
      {0x3001, "EnableButton(0,13,14)"},
      {0x10000, "EnableButton(11)"},
      {0x7FF, "EnableButton(0,1,2,3,4,5,6,7,8,9,10)"},
      {0x800, "EnableButton(12)"},
      {0x8000, "EnableButton(16)"},
      {0x4400, "EnableButton(10,15)"},
      {0x1FFFF, "EnableButton(0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16)"},
      {0xFFFE0000u, "EnableButton()"},  // bits beyond the table
  };
  for (auto [flags, expected] : rows) {
    SCOPED_TRACE(hex(flags));
    sink->OnEvent(nullptr, zant::kEvSessionControlFlags, flags, 0);
    EXPECT_EQ(afterPump(), (Events{expected}));
  }
}

// ---- threads ----

TEST_F(Translate, EngineThreadReportsArePostedToTheInterfaceThreadOrSentOnTheirOwn) {
  auto session = makeSessionSink();
  auto sources = McPtr<VexoSourceManagerEventTranslator>::adopt(new VexoSourceManagerEventTranslator);
  auto scheduler = McPtr<VexoSchedulerEventTranslator>::adopt(new VexoSchedulerEventTranslator);
  std::thread::id engine;
  std::thread reporter([&] {
    engine = std::this_thread::get_id();
    session->OnEvent(nullptr, zant::kEvServiceChanging, 0, 0);
    session->OnEvent(nullptr, zant::kEvSignalChanged, 4, 90);
    session->OnEvent(nullptr, zant::kEvSignalQuality, 1, 0);
    sources->OnEvent(nullptr, zant::kEvDevicesCollected, 0, 0);
    scheduler->OnEvent(nullptr, zant::kEvSchedulerStart, 21, 0);
  });
  reporter.join();
  auto sent = recorder.takeSeen();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].what, "ServiceChanging");
  EXPECT_EQ(sent[1].what, "SignalQuality(1)");
  for (auto& s : sent) EXPECT_EQ(s.thread, engine);

  plat::pumpPendingMessages();
  auto posted = recorder.takeSeen();
  ASSERT_EQ(posted.size(), 3u);
  EXPECT_EQ(posted[0].what, "SignalChanged(4,90)");
  EXPECT_EQ(posted[1].what, "DeviceCollected");
  EXPECT_EQ(posted[2].what, "SchedulerStart(21)");
  for (auto& p : posted) EXPECT_EQ(p.thread, std::this_thread::get_id());
}

TEST_F(Translate, ConcurrentReportsWhileTheInterfaceThreadPumps) {
  auto session = makeSessionSink();
  constexpr int kReports = 200;
  std::atomic<bool> done{false};
  std::thread reporter([&] {
    for (int i = 0; i < kReports; ++i) {
      session->OnEvent(nullptr, zant::kEvStateChanged, static_cast<uintptr_t>(i), 0);
      if (i % 50 == 0) session->OnEvent(nullptr, zant::kEvServiceChanging, 0, 0);
    }
    done = true;
  });
  Events all;
  while (!done) {
    auto some = afterPump();
    all.insert(all.end(), some.begin(), some.end());
  }
  reporter.join();
  auto rest = afterPump();
  all.insert(all.end(), rest.begin(), rest.end());
  // Every report arrives once, posted ones in the order they were reported.
  int next = 0, changing = 0;
  for (auto& e : all) {
    if (e == "ServiceChanging") {
      ++changing;
    } else {
      EXPECT_EQ(e, "StateChanged(" + std::to_string(next) + ")");
      ++next;
    }
  }
  EXPECT_EQ(next, kReports);
  EXPECT_EQ(changing, kReports / 50);
}

// ---- the alarm reference ----

class FakeAlarm final : public McObject<IZantEmergencyAlarm> {
 public:
  Status GetId(uint32_t*, uint32_t) override { return plat::E_NOTIMPL; }
  Status IsActive(uint32_t*) override { return plat::E_NOTIMPL; }
  Status GetType(uint32_t*) override { return plat::E_NOTIMPL; }
  Status GetAreaCodes(uint32_t*, uint32_t*) override { return plat::E_NOTIMPL; }
  Status GetKind(uint32_t*, uint32_t*) override { return plat::E_NOTIMPL; }
  Status GetMessages(IZantEnum**, uint32_t) override { return plat::E_NOTIMPL; }
};

TEST_F(Translate, AlarmEventCarriesAReferenceForTheWindow) {
  auto sink = makeSessionSink();
  auto alarm = McPtr<FakeAlarm>::adopt(new FakeAlarm);
  IZantEmergencyAlarm* itf = alarm->exposed();
  sink->OnEvent(nullptr, zant::kEvEmergencyAlarm, ptr(itf), 0);
  EXPECT_EQ(alarm->refCount(), 2);
  EXPECT_EQ(afterPump(), (Events{"EmergencyAlarm(" + hex(ptr(itf)) + ")"}));
  // The handling window gives the reference back.
  itf->Release();
  EXPECT_EQ(alarm->refCount(), 1);
}

// ---- the CA status query ----

class FakeCA final : public McObject<IZantCAInfo> {
 public:
  explicit FakeCA(Status result, uint32_t status) : result_(result), status_(status) {}
  Status GetCAId(char16_t*, uint32_t) override { return plat::E_NOTIMPL; }
  Status GetKeyDataVersion(char16_t*, uint32_t) override { return plat::E_NOTIMPL; }
  Status GetCAStatus(uint32_t* status, uint32_t r1, uint32_t r2) override {
    EXPECT_EQ(r1, 0u);
    EXPECT_EQ(r2, 0u);
    if (plat::succeeded(result_)) *status = status_;
    return result_;
  }

 private:
  Status result_;
  uint32_t status_;
};

class FakeStreams final : public McObject<IZantServiceStreams> {
 public:
  explicit FakeStreams(FakeCA* ca) : ca_(ca) {}
  Status EnumVideo(IZantChannel*, IZantEnum**) override { return plat::E_NOTIMPL; }
  Status ApplyVideo(IZantChannel*, IZantStream*) override { return plat::E_NOTIMPL; }
  Status GetSignalQuality(uint32_t*) override { return plat::E_NOTIMPL; }
  Status GetSignalLevel(uint32_t*) override { return plat::E_NOTIMPL; }
  Status GetBroadcastTime(plat::FileTime*) override { return plat::E_NOTIMPL; }
  Status GetEmergencyAlarm(IZantEmergencyAlarm**) override { return plat::E_NOTIMPL; }
  Status GetBatteryStatus(ZantBatteryStatus*) override { return plat::E_NOTIMPL; }
  Status ApplyAudio(IZantChannel*, IZantStream*) override { return plat::E_NOTIMPL; }
  Status EnumAudio(IZantChannel*, IZantEnum**) override { return plat::E_NOTIMPL; }
  Status ApplySubtitle(IZantChannel*, IZantStream*) override { return plat::E_NOTIMPL; }
  Status EnumSubtitles(IZantChannel*, IZantEnum**) override { return plat::E_NOTIMPL; }
  Status GetCAInfo(IZantCAInfo** out) override {
    if (!ca_) {
      *out = nullptr;
      return plat::S_FALSE;
    }
    ca_->addRef();
    *out = ca_->exposed();
    return plat::S_OK;
  }

 private:
  FakeCA* ca_;
};

TEST_F(Translate, CAStatusIsReadFromTheEnginesCurrentCAObject) {
  auto ca = McPtr<FakeCA>::adopt(new FakeCA(plat::S_OK, zant::kCANoAuthorization));
  auto streams = McPtr<FakeStreams>::adopt(new FakeStreams(ca.get()));
  std::vector<Guid> asked;
  auto sink = makeSessionSink([&](const Guid& iid, void** out) {
    asked.push_back(iid);
    return streams->query(iid, out);
  });
  // The report's own parameter is not the status: the CA object is asked.
  sink->OnEvent(nullptr, zant::kEvCAStatusChanged, 0, 0);
  EXPECT_EQ(afterPump(), (Events{"CAStatusUpdated(0x80000002)"}));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], plat::guidLiteral("{A5705019-B65E-4101-9245-0B3B2626B602}"));
  EXPECT_EQ(ca->refCount(), 1);       // the CA object was released
  EXPECT_EQ(streams->refCount(), 1);  // and so were the streams
}

TEST_F(Translate, CAStatusNeedsStreamsACardAndAReadableStatus) {
  auto unreadable = McPtr<FakeCA>::adopt(new FakeCA(plat::E_FAIL, 0));
  auto noCard = McPtr<FakeStreams>::adopt(new FakeStreams(nullptr));
  auto badCard = McPtr<FakeStreams>::adopt(new FakeStreams(unreadable.get()));
  const VexoPlayerSessionEventTranslation::EngineQuery queries[] = {
      {},  // no session to ask
      [](const Guid&, void** out) {
        *out = nullptr;
        return plat::E_NOINTERFACE;
      },
      [&](const Guid& iid, void** out) { return noCard->query(iid, out); },
      [&](const Guid& iid, void** out) { return badCard->query(iid, out); },
  };
  for (const auto& query : queries) {
    auto sink = makeSessionSink(query);
    EXPECT_EQ(sink->OnEvent(nullptr, zant::kEvCAStatusChanged, 0, 0), plat::S_OK);
    EXPECT_EQ(afterPump(), Events{});
  }
  EXPECT_EQ(unreadable->refCount(), 1);
  EXPECT_EQ(noCard->refCount(), 1);
  EXPECT_EQ(badCard->refCount(), 1);
}

// ---- the object ----

TEST_F(Translate, SinkAnswersItsInterfaceAndDiesOnLastRelease) {
  auto* sink = new VexoSchedulerEventTranslator;
  EXPECT_EQ(sink->refCount(), 1);
  void* out = nullptr;
  EXPECT_EQ(sink->query(IZantMediaEventSink::iid, nullptr), plat::E_POINTER);
  EXPECT_EQ(sink->query(plat::guidLiteral("{A5705019-B65E-4101-9245-0B3B2626B602}"), &out), plat::E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  ASSERT_EQ(sink->query(IZantMediaEventSink::iid, &out), plat::S_OK);
  auto* itf = static_cast<IZantMediaEventSink*>(out);
  EXPECT_EQ(itf, sink->exposed());
  EXPECT_EQ(sink->refCount(), 2);
  void* identity = nullptr;
  ASSERT_EQ(itf->QueryInterface(IID_IUnknown, &identity), plat::S_OK);
  EXPECT_EQ(identity, sink->identity());
  EXPECT_EQ(static_cast<IMcUnknown*>(identity)->Release(), 2u);
  EXPECT_EQ(itf->Release(), 1u);
  EXPECT_EQ(sink->release(), 0u);
}

}  // namespace
