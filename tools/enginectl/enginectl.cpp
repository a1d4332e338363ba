// enginectl: drives the media engine the way the player does and prints
// every event it reports.
//
//   enginectl [--scenario FILE] [--device-root DIR] [--engine-thread]
//             [--record-seconds N] [--quiet-check]
//
// By default time is a virtual clock advanced in 100 ms steps and events
// arrive on this thread, so a run takes no wall time and prints the same
// sequence every time. --engine-thread uses the system clock and the
// engine's own thread instead. --quiet-check runs the scenario silently and
// exits non-zero when an expected event is missing (used as a test).
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "plat/clock.h"
#include "plat/file.h"
#include "plat/module.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "plat/thread.h"
#include "vexo/mc.h"
#include "zant/engine.h"
#include "zant/scheduler.h"
#include "zant/test_control.h"

namespace {

struct Options {
  std::string scenario;
  std::string deviceRoot;
  bool engineThread = false;
  bool quiet = false;
  uint32_t recordSeconds = 5;
};

class Printer {
 public:
  explicit Printer(bool quiet) : quiet_(quiet) {}
  void line(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (!quiet_) std::printf("%s\n", text.c_str());
  }
  void step(const std::string& text) { line("== " + text); }
  void event(const char* from, uint32_t code, uintptr_t p1, uintptr_t p2, const std::string& detail) {
    double t = static_cast<double>(plat::tickCount() - start_) / 1000.0;
    const char* name = zant::eventName(code);
    // Parameters that carry a pointer print as "ptr": their content is in the detail.
    auto param = [](uintptr_t v) {
      return v > 0xFFFFFFFFull ? std::string("ptr") : plat::formatString("0x%" PRIXPTR, v);
    };
    std::string text = plat::formatString("[%8.3f] %-7s 0x%08X %-20s p1=%-10s p2=%-10s", t, from, code,
                                          name ? name : "?", param(p1).c_str(), param(p2).c_str());
    if (!detail.empty()) text += "  " + detail;
    line(text);
    std::lock_guard lock(mutex_);
    seen_.push_back(code);
  }
  bool saw(uint32_t code) {
    std::lock_guard lock(mutex_);
    for (uint32_t c : seen_)
      if (c == code) return true;
    return false;
  }
  void resetStart() { start_ = plat::tickCount(); }

 private:
  std::mutex mutex_;
  bool quiet_;
  uint64_t start_ = 0;
  std::vector<uint32_t> seen_;
};

std::string utf8(std::u16string_view s) { return plat::utf16ToUtf8(s); }

// Prints the events of one sender, decoding the records some of them carry.
class PrintingSink final : public McObject<IZantMediaEventSink> {
 public:
  PrintingSink(Printer* printer, const char* from) : printer_(printer), from_(from) {}
  Status OnEvent(IMcUnknown*, uint32_t code, uintptr_t p1, uintptr_t p2) override {
    std::string detail;
    switch (code) {
      case zant::kEvScanProgress: {
        const auto* s = reinterpret_cast<const ZantScanStatus*>(p2);
        detail = plat::formatString("%3d%% UHF %2d %6d kHz found %d services", s->percent, s->physicalChannel,
                                    s->frequencyKHz, s->programsFound);
        break;
      }
      case zant::kEvStateChanged: detail = std::string("state ") + zant::playerStateName(static_cast<int32_t>(p1)); break;
      case zant::kEvSignalChanged: detail = plat::formatString("icon %u, level %u", static_cast<unsigned>(p1), static_cast<unsigned>(p2)); break;
      case zant::kEvRecordFileCreated: detail = utf8(reinterpret_cast<const char16_t*>(p1)); break;
      case zant::kEvBattery: {
        const auto* b = reinterpret_cast<const ZantBatteryStatus*>(p1);
        detail = plat::formatString("battery %d%%%s", b->level, b->charging ? " charging" : "");
        break;
      }
      case zant::kEvEmergencyAlarm: {
        auto* alarm = reinterpret_cast<IZantEmergencyAlarm*>(p1);
        uint32_t active = 0, id = 0, category = 0, kind = 0, n = 0;
        alarm->IsActive(&active);
        alarm->GetId(&id, 0);
        alarm->GetKind(&category, &kind);
        alarm->GetAreaCodes(nullptr, &n);
        std::vector<uint32_t> areas(n);
        alarm->GetAreaCodes(areas.data(), &n);
        detail = plat::formatString("alarm %u %s %s areas", id, active ? "active" : "ended",
                                    kind == zant::kAlarmKindEarthquake ? "earthquake" : kind == zant::kAlarmKindTsunami ? "tsunami" : "other");
        for (uint32_t a : areas) detail += plat::formatString(" %u", a);
        break;
      }
      case zant::kEvSourceArrival: {
        auto* dev = reinterpret_cast<IZantSourceDevice*>(p1);
        char16_t name[64];
        uint32_t len = 64;
        uint32_t type = 0;
        dev->GetName(name, &len);
        dev->GetType(&type);
        detail = plat::formatString("%s type 0x%08X", utf8(name).c_str(), type);
        break;
      }
      case zant::kEvProgramUpdated: {
        auto* ch = reinterpret_cast<IZantChannel*>(p2);
        char16_t name[64];
        uint32_t len = 64;
        ch->GetDisplayName(name, &len);
        detail = "guide of " + utf8(name);
        break;
      }
      default: break;
    }
    printer_->event(from_, code, p1, p2, detail);
    return plat::S_OK;
  }
  IZantMediaEventSink* sink() { return exposed(); }

 private:
  ~PrintingSink() override = default;
  Printer* printer_;
  const char* from_;
};

class Runner {
 public:
  Runner(const Options& o, Printer* p) : opt_(o), out_(p) {}

  int run() {
    if (!setUp()) return 2;
    out_->resetStart();
    bool ok = devices() && openTuner() && scan() && select() && record() && timeShift() && snapshot() && alarm() &&
              reserve();
    tearDown();
    if (!ok) return 1;
    const uint32_t expected[] = {zant::kEvDevicesCollected, zant::kEvScanBegin,     zant::kEvScanProgress,
                                 zant::kEvScanFinished,     zant::kEvServiceChanging, zant::kEvServiceChanged,
                                 zant::kEvStateChanged,     zant::kEvServiceListUpdated, zant::kEvRecordFileCreated,
                                 zant::kEvRecordStopped,    zant::kEvEmergencyAlarm, zant::kEvSchedulerStart,
                                 zant::kEvSchedulerStop};
    for (uint32_t code : expected) {
      bool timed = code == zant::kEvSchedulerStart || code == zant::kEvSchedulerStop;
      if (opt_.engineThread && timed) continue;  // not waited for on the system clock
      if (!out_->saw(code)) {
        std::fprintf(stderr, "enginectl: expected event 0x%08X (%s) was not reported\n", code, zant::eventName(code));
        return 1;
      }
    }
    out_->step("done");
    return 0;
  }

 private:
  bool fail(const char* what, Status s) {
    std::fprintf(stderr, "enginectl: %s failed: 0x%08X\n", what, static_cast<uint32_t>(s));
    return false;
  }

  // Lets time pass: virtual time in 100 ms steps with the engine's timed
  // work pumped on this thread, or real time with the engine thread working.
  void wait(uint32_t ms) {
    if (opt_.engineThread) {
      plat::sleepMs(ms);
      return;
    }
    for (uint32_t done = 0; done < ms; done += 100) {
      virtualClock_.advance(std::min<uint32_t>(100, ms - done));
      control_->Pump(nullptr);
      if (events_) events_->Poll();
    }
  }

  std::u16string folder(const char* deviceName) {
    std::u16string path = plat::utf8ToUtf16(deviceName);
    plat::createDirectories(path);
    return path;
  }

  bool setUp() {
    std::filesystem::path root = opt_.deviceRoot;
    if (root.empty()) {
      char pattern[] = "/tmp/enginectl-XXXXXX";
      if (::mkdtemp(pattern) == nullptr) return fail("creating a device root", plat::E_FAIL);
      root = pattern;
      ownRoot_ = root;
    }
    plat::PathConfig cfg = plat::defaultPathConfig();
    cfg.deviceRoot = root;
    cfg.storageCards = {{u"Storage Card", root / "Storage Card"}};
    plat::configurePaths(cfg);
    if (!opt_.engineThread) clockScope_ = std::make_unique<plat::ScopedClock>(virtualClock_);

    Status s = plat::E_FAIL;
    engine_ = plat::loadModule(std::string_view(zant::kEngineModuleName), &s);
    if (!engine_) return fail("loading ZANTSDK.dll", s);
    out_->line("engine: " + engine_->hostPath());
    auto getControl = engine_->function<ZantGetTestControlFn>(zant::kExportTestControl);
    createPlayer_ = engine_->function<ZantCreateMediaPlayerFn>(zant::kFactoryMediaPlayer);
    createManager_ = engine_->function<ZantCreateDeviceManagerFn>(zant::kFactoryDeviceManager);
    if (!getControl || !createPlayer_ || !createManager_) return fail("finding the engine's exports", plat::E_PROC_NOT_FOUND);
    if ((s = getControl(&IZantTestControl::iid, control_.putVoid())) != plat::S_OK) return fail("test control", s);
    if (!opt_.scenario.empty()) {
      if ((s = control_->LoadScenario(opt_.scenario.c_str())) != plat::S_OK) return fail("loading the scenario", s);
      out_->line("scenario: " + opt_.scenario);
    } else {
      out_->line("scenario: built-in (Tokyo one-segment line-up)");
    }
    control_->SetEventThreading(opt_.engineThread ? 1 : 0);
    out_->line(opt_.engineThread ? "events: engine thread, system clock" : "events: calling thread, virtual clock");
    playerSink_ = McPtr<PrintingSink>::adopt(new PrintingSink(out_, "player"));
    scanSink_ = McPtr<PrintingSink>::adopt(new PrintingSink(out_, "scan"));
    deviceSink_ = McPtr<PrintingSink>::adopt(new PrintingSink(out_, "devices"));
    schedSink_ = McPtr<PrintingSink>::adopt(new PrintingSink(out_, "sched"));
    return true;
  }

  bool devices() {
    out_->step("devices: Start");
    if (Status s = createManager_(&IZantSourceDeviceManager::iid, manager_.putVoid(), 0); s != plat::S_OK)
      return fail("CoCreateZNSourceDeviceManager", s);
    manager_->Advise(nullptr, deviceSink_->sink());
    manager_->Start(1, 0);
    wait(100);
    return true;
  }

  bool openTuner() {
    out_->step("open the live tuner");
    McPtr<IZantEnum> list;
    if (Status s = manager_->EnumDevices(zant::kSourceClassLive, list.put()); s != plat::S_OK) return fail("EnumDevices", s);
    IMcUnknown* item = nullptr;
    if (list->Next(1, &item, nullptr) != plat::S_OK) return fail("finding a live tuner", plat::E_FAIL);
    tuner_ = McPtr<IZantSourceDevice>::adopt(static_cast<IZantSourceDevice*>(item));
    if (Status s = createPlayer_(&IZantMediaPlayer::iid, player_.putVoid()); s != plat::S_OK)
      return fail("CoCreateZNMediaPlayer", s);
    if (Status s = player_->Open(tuner_.get(), 0, nullptr, nullptr, playerSink_->sink()); s != plat::S_OK)
      return fail("Open", s);
    if (Status s = player_->GetServiceStreams(streams_.put()); s != plat::S_OK) return fail("GetServiceStreams", s);
    channels_ = mcQuery<IZantChannelManager>(streams_.get());
    store_ = mcQuery<IZantPropertyStore>(streams_.get());
    settings_ = mcQuery<IZantPlayerSettings>(player_.get());
    if (!channels_ || !store_ || !settings_) return fail("engine interfaces", plat::E_NOINTERFACE);
    settings_->SetString(zant::kSetRecordPath, folder("\\Storage Card\\Recorder").c_str());
    settings_->SetString(zant::kSetSnapshotPath, folder("\\Storage Card\\Snapshot").c_str());
    settings_->SetString(zant::kSetTimeShiftPath, folder("\\Storage Card\\TimeShift").c_str());
    settings_->SetDWORD(zant::kSetTimeShiftSeconds, 30);
    wait(100);
    return true;
  }

  bool scan() {
    ZantPropertyEntry countries[16];
    uint32_t n = 16;
    if (Status s = store_->GetCountries(zant::kSourceTypeIsdbTTuner, &n, countries); plat::failed(s))
      return fail("GetCountries", s);
    std::vector<ZantPropertyEntry> regions(128);
    uint32_t r = 128;
    store_->GetRegions(countries[0].id, &r, regions.data());
    const ZantPropertyEntry* region = nullptr;
    for (uint32_t i = 0; i < r; ++i)
      if (regions[i].id == 13) region = &regions[i];
    if (region == nullptr) return fail("finding region 13", plat::E_FAIL);
    out_->step("scan region " + utf8(countries[0].name) + " / " + utf8(region->name));
    if (Status s = channels_->ScanRegion(countries[0].id, region->id, nullptr, scanSink_->sink()); s != plat::S_OK)
      return fail("ScanRegion", s);
    wait(4200);
    uint32_t count = 0;
    channels_->GetCount(&count);
    out_->line(plat::formatString("channel list: %u services", count));
    McPtr<IZantEnum> list;
    channels_->GetList(list.put());
    for (uint32_t i = 0;; ++i) {
      IMcUnknown* item = nullptr;
      if (list->Next(1, &item, nullptr) != plat::S_OK) break;
      auto ch = McPtr<IZantChannel>::adopt(static_cast<IZantChannel*>(item));
      char16_t name[64];
      uint32_t len = 64, type = 0, scramble = 0, number = 0;
      ch->GetDisplayName(name, &len);
      ch->GetType(&type);
      ch->GetScrambleStatus(&scramble);
      if (auto info = mcQuery<IZantServiceInfo>(ch.get())) info->GetServiceNumber(&number);
      ZantTuningInfo t{};
      ch->GetTuningInfo(&t);
      out_->line(plat::formatString("  %2u  %4u  UHF %2u  %s%s%s", i, number, t.physicalChannel, utf8(name).c_str(),
                                    type >= 3 ? "  (radio)" : "", scramble == zant::kScrambleScrambled ? "  (scrambled)" : ""));
    }
    return count > 1;
  }

  bool select() {
    out_->step("select channel 1, run");
    if (Status s = channels_->SelectByIndex(1); s != plat::S_OK) return fail("SelectByIndex", s);
    if (Status s = player_->Run(0); s != plat::S_OK) return fail("Run", s);
    wait(300);
    McPtr<IZantChannel> current;
    int32_t index = -1;
    channels_->GetCurrent(&index, current.put());
    McPtr<IZantProgramme> present, following;
    current->GetPresentFollowing(present.put(), following.put());
    char16_t title[260] = u"";
    if (present) present->GetTitle(title, 260);
    out_->line(plat::formatString("current: index %d, on air: %s", index, utf8(title).c_str()));
    following_ = following;
    current_ = current;
    return true;
  }

  bool record() {
    out_->step(plat::formatString("record %u s", opt_.recordSeconds));
    auto recorder = mcQuery<IZantRecorder>(player_.get());
    if (!recorder) return fail("recorder", plat::E_NOINTERFACE);
    if (Status s = recorder->Start(); s != plat::S_OK) return fail("recorder Start", s);
    wait(opt_.recordSeconds * 1000);
    recorder->Stop();
    char16_t name[260];
    recorder->GetFileName(name, 260);
    plat::FindEntry info;
    plat::getFileInfo(name, &info);
    out_->line(plat::formatString("recorded %s: %" PRIu64 " bytes", utf8(name).c_str(), info.size));
    return info.size > 0;
  }

  bool timeShift() {
    out_->step("time-shift: start, 10 s, pause 3 s, seek to 5 s behind live");
    auto ts = mcQuery<IZantTimeShift>(player_.get());
    if (!ts) return fail("time-shift", plat::E_NOINTERFACE);
    if (Status s = ts->Start(0); s != plat::S_OK) return fail("time-shift Start", s);
    wait(10000);
    uint32_t length = 0, position = 0;
    ts->GetLength(nullptr, &length);
    out_->line(plat::formatString("length %u ms", length));
    player_->Suspend();
    wait(3000);
    ts->GetPosition(nullptr, &position);
    out_->line(plat::formatString("paused: %u ms behind live", position));
    ts->Seek(0, 5000);
    player_->Run(0);
    wait(1000);
    ts->GetLength(nullptr, &length);
    ts->GetPosition(nullptr, &position);
    out_->line(plat::formatString("after seek: length %u ms, %u ms behind live", length, position));
    ts->Stop();
    return position == 5000;
  }

  bool snapshot() {
    out_->step("snapshot");
    auto snap = mcQuery<IZantSnapshot>(player_.get());
    if (!snap) return fail("snapshot", plat::E_NOINTERFACE);
    if (Status s = snap->Take(1); s != plat::S_OK) return fail("snapshot Take", s);
    char16_t name[260];
    snap->GetLastFile(name, 260);
    plat::FindEntry info;
    plat::getFileInfo(name, &info);
    out_->line(plat::formatString("snapshot %s: %" PRIu64 " bytes", utf8(name).c_str(), info.size));
    return true;
  }

  bool alarm() {
    out_->step("emergency alarm: earthquake, Tokyo and Kanagawa, 2 s");
    const uint32_t areas[] = {2732, 1388};
    control_->RaiseAlarm(zant::kAlarmKindEarthquake, areas, 2, 2000);
    wait(2100);
    return true;
  }

  bool reserve() {
    out_->step("reserve the following programme; let its time pass");
    scheduler_ = plat::loadModule(std::string_view(zansk::kSchedulerModuleName));
    if (!scheduler_) return fail("loading Zansk.dll", plat::E_MOD_NOT_FOUND);
    auto create = scheduler_->function<ZanskCreateFn>(zansk::kFactoryScheduler);
    if (!create) return fail("CoCreateScheduler", plat::E_PROC_NOT_FOUND);
    if (Status s = create(&zansk::kClassEventScheduler, nullptr, 0, &IZanskEventScheduler::iid, events_.putVoid());
        s != plat::S_OK)
      return fail("event scheduler", s);
    std::u16string dir = u"\\NAND\\ISDBT\\Norvale\\Ondavue\\SchedulerDatabase";
    if (Status s = events_->Open(dir.c_str()); s != plat::S_OK) return fail("scheduler Open", s);
    events_->Advise(nullptr, schedSink_->sink());
    if (!following_) return fail("finding the following programme", plat::E_FAIL);
    McPtr<IZanskRecord> r;
    events_->NewRecord(zansk::kKindReservation, r.put());
    uint32_t id = 0;
    following_->GetId(&id);
    r->SetField(zansk::kFieldProgrammeId, &id, 4);
    char16_t title[260] = {};
    following_->GetTitle(title, 260);
    r->SetField(zansk::kFieldTitle, title, sizeof title);
    McPtr<IZantEnum> times;
    following_->GetTimes(times.put());
    IMcUnknown* t = nullptr;
    if (times->Next(1, &t, nullptr) != plat::S_OK) return fail("programme times", plat::E_FAIL);
    auto time = McPtr<IZantEventTime>::adopt(static_cast<IZantEventTime*>(t));
    ZantTime start{}, end{};
    time->GetStartTime(1, &start);
    time->GetEndTime(&end);
    zansk::TimeValue s{start.year, start.month, start.day, start.hour, start.minute, start.second};
    zansk::TimeValue e{end.year, end.month, end.day, end.hour, end.minute, end.second};
    r->SetField(zansk::kFieldStart, &s, sizeof s);
    r->SetField(zansk::kFieldEnd, &e, sizeof e);
    uint32_t type = zansk::kReservationRecord, lead = 300;
    r->SetField(zansk::kFieldReservationType, &type, 4);
    r->SetField(zansk::kFieldLeadSeconds, &lead, 4);
    char16_t channel[260] = {};
    current_->GetName(channel, 260);
    r->SetField(zansk::kFieldChannelKey, channel, sizeof channel);
    out_->line(plat::formatString("reservation: %s %04d-%02d-%02d %02d:%02d-%02d:%02d on %s", utf8(title).c_str(), s.year,
                                  s.month, s.day, s.hour, s.minute, e.hour, e.minute, utf8(channel).c_str()));
    if (Status st = events_->AddRecord(r.get()); st != plat::S_OK) return fail("AddRecord", st);
    if (opt_.engineThread) {
      out_->line("(the reservation's times are not waited for with the system clock)");
      return true;
    }
    // Jump to five minutes before the end of the programme now on air, then to the end of the reserved one.
    plat::FileTime startUtc = plat::localToUtc(plat::systemTimeToFileTime(start).value_or(0));
    plat::FileTime endUtc = plat::localToUtc(plat::systemTimeToFileTime(end).value_or(0));
    plat::FileTime now = plat::utcNow();
    uint64_t toReminder = startUtc > now + 300 * plat::kFileTimePerSecond
                              ? (startUtc - now) / plat::kFileTimePerMs - 300000 : 0;
    virtualClock_.advance(toReminder);
    wait(100);
    virtualClock_.advance(300000);
    wait(100);
    virtualClock_.advance((endUtc - startUtc) / plat::kFileTimePerMs);
    wait(100);
    return true;
  }

  void tearDown() {
    if (events_) {
      events_->Unadvise(nullptr, schedSink_->sink());
      events_->Close();
    }
    events_.reset();
    if (player_) {
      player_->CloseSource();
      player_->Disconnect(nullptr, playerSink_->sink());
    }
    if (manager_) manager_->Unadvise(nullptr, deviceSink_->sink());
    if (control_) control_->SetEventThreading(0);
    following_.reset();
    current_.reset();
    settings_.reset();
    store_.reset();
    channels_.reset();
    streams_.reset();
    player_.reset();
    tuner_.reset();
    manager_.reset();
    control_.reset();
    clockScope_.reset();
    if (!ownRoot_.empty()) std::filesystem::remove_all(ownRoot_);
  }

  Options opt_;
  Printer* out_;
  std::filesystem::path ownRoot_;
  plat::VirtualClock virtualClock_{plat::unixMsToFileTime(1'781'136'000'000LL)};  // 2026-06-11 00:00 UTC
  std::unique_ptr<plat::ScopedClock> clockScope_;
  plat::ModuleHandle engine_;
  plat::ModuleHandle scheduler_;
  ZantCreateMediaPlayerFn createPlayer_ = nullptr;
  ZantCreateDeviceManagerFn createManager_ = nullptr;
  McPtr<IZantTestControl> control_;
  McPtr<IZantSourceDeviceManager> manager_;
  McPtr<IZantSourceDevice> tuner_;
  McPtr<IZantMediaPlayer> player_;
  McPtr<IZantServiceStreams> streams_;
  McPtr<IZantChannelManager> channels_;
  McPtr<IZantPropertyStore> store_;
  McPtr<IZantPlayerSettings> settings_;
  McPtr<IZantChannel> current_;
  McPtr<IZantProgramme> following_;
  McPtr<IZanskEventScheduler> events_;
  McPtr<PrintingSink> playerSink_, scanSink_, deviceSink_, schedSink_;
};

int usage() {
  std::fprintf(stderr,
               "usage: enginectl [--scenario FILE] [--device-root DIR] [--engine-thread] [--record-seconds N] "
               "[--quiet-check]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == "--scenario") {
      const char* v = value();
      if (!v) return usage();
      o.scenario = v;
    } else if (a == "--device-root") {
      const char* v = value();
      if (!v) return usage();
      o.deviceRoot = v;
    } else if (a == "--engine-thread") {
      o.engineThread = true;
    } else if (a == "--record-seconds") {
      const char* v = value();
      char* end = nullptr;
      unsigned long n = v ? std::strtoul(v, &end, 10) : 0;
      if (!v || *end != '\0' || n == 0 || n > 3600) return usage();
      o.recordSeconds = static_cast<uint32_t>(n);
    } else if (a == "--quiet-check") {
      o.quiet = true;
    } else {
      return usage();
    }
  }
  Printer printer(o.quiet);
  Runner runner(o, &printer);
  return runner.run();
}
