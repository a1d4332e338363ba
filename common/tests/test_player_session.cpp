// The player session against the simulated engine, loaded by module name.
#include <gtest/gtest.h>

#include "engine_test_base.h"
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "plat/clock.h"
#include "plat/debug.h"
#include "plat/file.h"
#include "plat/module.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "vexo/player_session.h"
#include "vexo/playlist.h"
#include "vexo/setting.h"
#include "vexo/source_manager.h"
#include "zant/test_control.h"

namespace {

using vexo::SessionEvent;

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
    changed_.notify_all();
    return plat::S_OK;
  }
  std::vector<Event> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<uint32_t> codes() {
    std::vector<uint32_t> out;
    for (const Event& e : events()) out.push_back(e.code);
    return out;
  }
  size_t count(uint32_t code) {
    size_t n = 0;
    for (const Event& e : events()) n += e.code == code;
    return n;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }
  // Waits (without a time assertion) until `n` events of `code` arrived.
  bool waitFor(uint32_t code, size_t n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [&] {
      size_t have = 0;
      for (const Event& e : events_) have += e.code == code;
      return have >= n;
    });
  }

 private:
  ~RecordingSink() override = default;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
};

// True when `want` appears in `codes` in this order (other codes may lie between).
bool inOrder(const std::vector<uint32_t>& codes, const std::vector<uint32_t>& want) {
  size_t i = 0;
  for (uint32_t c : codes)
    if (i < want.size() && c == want[i]) ++i;
  return i == want.size();
}

constexpr uint32_t kFlagsEvent = vexo::kSessionControlFlags;

class SessionTest : public vexotest::EngineTestBase {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(startEngine("session", 0));
    auto createPlayer = engine_->function<ZantCreateMediaPlayerFn>(zant::kFactoryMediaPlayer);
    ASSERT_TRUE(createPlayer);
    control_->ClearCallLog();

    ASSERT_EQ(CoCreateVexoCmnSetting(vexo::kSettingKindFile, 0, "Norvale", "Ondavue", store_.put()), plat::S_OK);
    ASSERT_EQ(CoCreateVexoCmnSourceManager(sources_.put()), plat::S_OK);
    ASSERT_EQ(CoCreateVexoCmnPlayerSession(session_.put()), plat::S_OK);
    ASSERT_TRUE(store_ && sources_ && session_);
    IZantMediaPlayer* player = nullptr;
    ASSERT_EQ(createPlayer(&IZantMediaPlayer::iid, reinterpret_cast<void**>(&player)), plat::S_OK);
    ASSERT_EQ(session_->SetMediaPlayer(player), plat::S_OK);
    ASSERT_EQ(session_->SetSetting(store_.get()), plat::S_OK);
    sink_ = McPtr<RecordingSink>::adopt(new RecordingSink());
    ASSERT_EQ(session_->Advise(sink_->exposed()), plat::S_OK);
  }
  void TearDown() override {
    if (session_) {
      session_->Unadvise(sink_ ? sink_->exposed() : nullptr);
      session_.reset();
    }
    sources_.reset();
    store_.reset();
    if (control_) {
      control_->SetEventThreading(0);
      control_->ClearFailures();
      control_->Pump(nullptr);
    }
    stopEngine();
  }

  McPtr<IZantSourceDevice> source(uint32_t filter) {
    McPtr<IVexoCmnCollection> list;
    EXPECT_EQ(sources_->EnumSources(filter, list.put()), plat::S_OK);
    IMcUnknown* item = nullptr;
    if (!list || list->Next(1, &item, nullptr) != plat::S_OK) return nullptr;
    auto device = mcQuery<IZantSourceDevice>(item);
    item->Release();
    return device;
  }
  // Opens the live tuner with the Tokyo line-up (10 channels, index 8 radio).
  void openLive() {
    auto tuner = source(zant::kSourceClassLive);
    ASSERT_TRUE(tuner);
    ASSERT_EQ(session_->OpenSource(tuner.get()), plat::S_OK);
    ASSERT_EQ(session_->SetEngineProperty(zant::kPropRegion, 13), plat::S_OK);
    ASSERT_EQ(session_->GetChannelCount(), 10u);
  }
  std::u16string makeFile(const char* name, size_t bytes = 520000) {
    std::filesystem::create_directories(root_ / "media");
    std::ofstream(root_ / "media" / name, std::ios::binary) << std::string(bytes, '\x47');
    return u"\\media\\" + plat::utf8ToUtf16(name);
  }
  std::u16string folder(const char* name) {
    std::filesystem::create_directories(root_ / name);
    return u"\\" + plat::utf8ToUtf16(name);
  }
  std::string callLog() {
    uint32_t needed = 0;
    control_->GetCallLog(nullptr, 0, &needed);
    std::string log(needed, '\0');
    control_->GetCallLog(log.data(), needed, &needed);
    while (!log.empty() && log.back() == '\0') log.pop_back();
    return log;
  }
  uint32_t storedDword(const char* path) {
    uint32_t v = 0xDEAD;
    store_->GetDWORD(path, &v);
    return v;
  }
  std::u16string storedString(const char* path) {
    char16_t buffer[260] = {};
    if (plat::failed(store_->GetString(path, buffer, 260))) return u"<none>";
    return buffer;
  }
  uint32_t engineDword(uint32_t id) {
    auto settings = mcQuery<IZantPlayerSettings>(session_->GetMediaPlayer());
    uint32_t v = 0xDEAD;
    if (settings) settings->GetDWORD(id, &v);
    return v;
  }
  int32_t state() {
    int32_t s = -1;
    session_->GetState(&s, 0xFFFFFFFFu);
    return s;
  }
  void advance(uint64_t ms, uint64_t step = 100) {
    for (uint64_t done = 0; done < ms; done += step) {
      clock_.advance(std::min(step, ms - done));
      control_->Pump(nullptr);
    }
  }

  McPtr<IVexoCmnSetting> store_;
  McPtr<IVexoCmnSourceManager> sources_;
  McPtr<IVexoCmnPlayerSession> session_;
  McPtr<RecordingSink> sink_;
};

// ---- engine binding and settings by id ----

TEST_F(SessionTest, AnswersItsInterfaceAndFailsWithoutEngine) {
  McPtr<IVexoCmnPlayerSession> bare;
  ASSERT_EQ(CoCreateVexoCmnPlayerSession(bare.put()), plat::S_OK);
  EXPECT_EQ(bare->SetMediaPlayer(nullptr), plat::E_FAIL);
  int32_t s = 0;
  EXPECT_EQ(bare->GetState(&s, 0), plat::E_FAIL);
  EXPECT_EQ(bare->GetState(nullptr, 0), plat::E_INVALIDARG);
  EXPECT_EQ(bare->Close(), plat::S_OK);
  EXPECT_EQ(bare->Play(0), plat::E_FAIL);
  EXPECT_EQ(bare->SetSettingDWORD(4, 50, 1), plat::E_FAIL);
  EXPECT_EQ(bare->SetEngineProperty(81, 13), plat::E_NOTIMPL);
  auto sink = mcQuery<IZantMediaEventSink>(bare.get());
  EXPECT_TRUE(sink);
  auto same = mcQuery<IVexoCmnPlayerSession>(sink.get());
  EXPECT_EQ(same.get(), bare.get());
}

TEST_F(SessionTest, PercentSettingsAreScaledForTheEngineOnly) {
  struct Case {
    uint32_t id;
    uint32_t percent;
    uint32_t engineValue;
    const char* path;
  };
  const Case cases[] = {
      {3, 100, 255, "/Setting/Video/Contrast"},
      {4, 50, 127, "/Setting/Video/Brightness"},
      {6, 33, 84, "/Setting/Video/Saturation"},
      {5, 50, 50, "/Setting/Video/Hue"},  // not a percent: passed as it is
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    ASSERT_EQ(session_->SetSettingDWORD(c.id, c.percent, 1), plat::S_OK);
    EXPECT_EQ(storedDword(c.path), c.percent);
    EXPECT_EQ(engineDword(c.id), c.engineValue);
    uint32_t back = 0;
    ASSERT_EQ(session_->GetSettingDWORD(c.id, &back), plat::S_OK);
    EXPECT_EQ(back, c.percent);
    // Save flag 0 reaches the engine and leaves the store alone.
    ASSERT_EQ(session_->SetSettingDWORD(c.id, 20, 0), plat::S_OK);
    EXPECT_EQ(storedDword(c.path), c.percent);
    EXPECT_EQ(engineDword(c.id), c.id == 5 ? 20u : 20u * 255u / 100u);
  }
}

TEST_F(SessionTest, SettingIdsOutsideTheTableAreRefusedAndId23NeverTouchesTheStore) {
  uint32_t v = 0;
  char16_t text[16] = {};
  EXPECT_EQ(session_->SetSettingDWORD(24, 1, 1), plat::E_INVALIDARG);
  EXPECT_EQ(session_->SetSettingDWORD(0xFFFFFFFFu, 1, 0), plat::E_INVALIDARG);
  EXPECT_EQ(session_->GetSettingDWORD(24, &v), plat::E_INVALIDARG);
  EXPECT_EQ(session_->GetSettingString(99, text, 16), plat::E_INVALIDARG);
  EXPECT_EQ(session_->SetSettingString(24, u"x"), plat::E_INVALIDARG);
  EXPECT_EQ(vexo::sessionSettingPath(24), nullptr);
  // Id 23 goes to the engine only, whatever the save flag says.
  ASSERT_EQ(session_->SetSettingDWORD(23, 0, 1), plat::S_OK);
  EXPECT_EQ(engineDword(23), 0u);
  EXPECT_EQ(session_->GetSettingDWORD(23, &v), plat::E_FAIL);
  ASSERT_EQ(store_->Save(), plat::S_OK);
  std::string file;
  for (auto& entry : std::filesystem::recursive_directory_iterator(root_))
    if (entry.path().filename() == "Setting.xml") file = entry.path().string();
  ASSERT_FALSE(file.empty());
  std::ifstream in(file);
  std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(xml.find("/>\n</Setting>"), std::string::npos);
  EXPECT_EQ(xml.find("VideoOutput"), std::string::npos);
}

TEST_F(SessionTest, SyncTimeFiresTimeChangedEvenWhenTheStoreRefuses) {
  ASSERT_EQ(store_->SetString("/Setting/General/SyncTime", u"text"), plat::S_OK);  // wrong type
  sink_->clear();
  EXPECT_EQ(session_->SetSettingDWORD(12, 1, 1), plat::E_FAIL);
  EXPECT_EQ(sink_->count(vexo::kSessionTimeChanged), 1u);
}

// ---- events and control flags ----

TEST_F(SessionTest, EngineEventsAreRelayedBeforeTheSessionActs) {
  openLive();
  ASSERT_EQ(session_->SelectChannelByIndex(1), plat::S_OK);
  struct Case {
    uint32_t code;
    uintptr_t p1;
    uintptr_t p2;
    uint32_t set;
    uint32_t clear;
    std::vector<uint32_t> fired;  // everything the sink sees, in order
    uint32_t mode;                // expected mode afterwards (~0: unchanged)
  };
  const uint32_t caps = zant::kCapPlayLive | zant::kCapPause | zant::kCapStop | zant::kCapRecord;
  const Case cases[] = {
      {0x30002, 0, 0, 0x3001, 0, {0x30002, kFlagsEvent}, ~0u},
      {0x80008, 0, 0, 0x2001, 0, {0x80008, kFlagsEvent}, ~0u},
      {0x20001, 1, 0, 0, 0xC000, {0x20001, kFlagsEvent}, ~0u},
      {0x20001, 3, 0, 0, 0xC000, {0x20001, kFlagsEvent}, ~0u},  // live: no duration
      {0x20002, 0, caps, 0x2 | 0x4 | 0x8 | 0x80, 0x40 | 0x100 | 0x200 | 0x400 | 0x10000, {0x20002, kFlagsEvent}, ~0u},
      {0x20002, 0, 0, 0, 0x2 | 0x4 | 0x8 | 0x40 | 0x80 | 0x100 | 0x200 | 0x400 | 0x10000, {0x20002, kFlagsEvent}, ~0u},
      {0x30007, 0, 0, 0x30, 0, {0x30007, kFlagsEvent, vexo::kSessionScanEnd}, ~0u},
      {0x30008, 0, 0, 0x30, 0, {0x30008, kFlagsEvent, vexo::kSessionScanEnd}, ~0u},
      {0x30005, 0, 0, 0, 0, {0x30005, vexo::kSessionScanBegin}, ~0u},
      {0x30006, 40, 7, 0, 0, {0x30006, vexo::kSessionScanProgress}, ~0u},
      {0x3000B, 0, 0, 0, 0, {0x3000B, vexo::kSessionTimeChanged}, ~0u},
      {0x3000A, 1, 0, 0, 0, {0x3000A}, 2},
      {0x30011, 5, 0, 0, 0, {0x30011}, 5},
      {0x40002, 0, 0, 0, 0, {0x40002}, ~0u},
  };
  void* unknown = nullptr;
  ASSERT_EQ(session_->QueryInterface(IID_IUnknown, &unknown), plat::S_OK);
  IMcUnknown* identity = static_cast<IMcUnknown*>(unknown);
  identity->Release();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.code << " p1 " << c.p1);
    uint32_t before = session_->GetControlFlags();
    sink_->clear();
    ASSERT_EQ(control_->ScriptEvent(0, c.code, c.p1, c.p2), plat::S_OK);
    control_->Pump(nullptr);
    uint32_t after = (before & ~c.clear) | c.set;
    EXPECT_EQ(session_->GetControlFlags(), after);
    auto events = sink_->events();
    EXPECT_EQ(sink_->codes(), c.fired);
    for (const Event& e : events) {
      EXPECT_EQ(e.sender, identity);
      if (e.code == c.code) {
        EXPECT_EQ(e.p1, c.p1);
      }
      if (e.code == kFlagsEvent) {
        EXPECT_EQ(e.p1, after);
      }
      if (e.code == vexo::kSessionScanProgress) {
        EXPECT_EQ(e.p1, 40u);
        EXPECT_EQ(e.p2, 7u);
      }
    }
    if (c.mode != ~0u) {
      EXPECT_EQ(session_->GetMode(), c.mode);
    }
  }
}

TEST_F(SessionTest, AdviseSetsTheOpenedBitsAndReportsThem) {
  auto second = McPtr<RecordingSink>::adopt(new RecordingSink());
  ASSERT_EQ(session_->Advise(second->exposed()), plat::S_OK);
  EXPECT_EQ(session_->GetControlFlags() & 0x3001u, 0x3001u);
  ASSERT_EQ(second->count(kFlagsEvent), 1u);
  EXPECT_EQ(second->events()[0].p1, session_->GetControlFlags());
  EXPECT_EQ(session_->Unadvise(second->exposed()), plat::S_OK);
  session_->Close();
  EXPECT_EQ(second->count(kFlagsEvent), 1u);
}

// ---- sources ----

TEST_F(SessionTest, LiveOpenAndCloseSequences) {
  auto tuner = source(zant::kSourceClassLive);
  sink_->clear();
  ASSERT_EQ(session_->OpenSource(tuner.get()), plat::S_OK);
  auto codes = sink_->codes();
  EXPECT_TRUE(inOrder(codes, {0x30011, kFlagsEvent, 0x30001, 0x30002, kFlagsEvent, 0x20002, vexo::kSessionOpened}));
  EXPECT_EQ(sink_->count(vexo::kSessionClosed), 0u);  // nothing was open before
  EXPECT_EQ(session_->GetSource(), tuner.get());
  EXPECT_EQ(session_->GetSourceType(), zant::kSourceTypeIsdbTTuner);
  EXPECT_EQ(storedString("/Setting/Scan/LiveInSourceName"), u"ISDB-T Tuner");
  EXPECT_EQ(storedString("/Setting/Scan/FileSourceName"), u"");
  // The cache folder goes to the engine as id 13.
  char16_t cache[260] = {};
  ASSERT_EQ(session_->GetSettingString(13, cache, 260), plat::S_OK);
  EXPECT_EQ(std::u16string(cache), vexo::residentFlashPath() + u"Norvale\\Ondavue\\ChannelList\\");

  // The same source again: nothing at all.
  sink_->clear();
  control_->ClearCallLog();
  ASSERT_EQ(session_->OpenSource(tuner.get()), plat::S_OK);
  EXPECT_TRUE(sink_->events().empty());
  EXPECT_EQ(callLog(), "");

  sink_->clear();
  ASSERT_EQ(session_->Close(), plat::S_OK);
  codes = sink_->codes();
  ASSERT_FALSE(codes.empty());
  EXPECT_TRUE(inOrder(codes, {0x30011, vexo::kSessionClosed, kFlagsEvent}));
  EXPECT_EQ(codes.back(), kFlagsEvent);
  EXPECT_EQ(sink_->events().back().p1 & 0x30u, 0u);
  EXPECT_EQ(session_->GetSource(), nullptr);
  EXPECT_EQ(session_->GetSourceType(), 0u);
  EXPECT_EQ(session_->GetMode(), 0u);
  // A second close has no source to report.
  sink_->clear();
  session_->Close();
  EXPECT_EQ(sink_->count(vexo::kSessionClosed), 0u);
}

TEST_F(SessionTest, FileOpenChoosesTheSourceByExtension) {
  struct Case {
    std::u16string path;
    uint32_t kind;
  };
  const Case cases[] = {
      {makeFile("a.MSF"), zant::kFileKindCmmbMultiplex},
      {makeFile("b.mfs"), zant::kFileKindCmmbMultiplex},
      {makeFile("c.trp"), zant::kFileKindTransportStream},
      {makeFile("d.ts"), zant::kFileKindTransportStream},
      {u".msf", zant::kFileKindTransportStream},  // shorter than 5: never the CMMB source
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(plat::utf16ToUtf8(c.path));
    sink_->clear();
    ASSERT_EQ(session_->OpenFile(sources_.get(), c.path.c_str()), plat::S_OK);
    EXPECT_EQ(session_->GetSourceType() & ~zant::kSourceClassMask, c.kind);
    EXPECT_EQ(zant::sourceClass(session_->GetSourceType()), zant::kSourceClassFile);
    EXPECT_EQ(sink_->count(vexo::kSessionOpened), 1u);
    EXPECT_EQ(storedString("/Setting/LastFile"), c.path);
    char16_t name[260] = {};
    uint32_t length = 260;
    session_->GetSource()->GetName(name, &length);
    EXPECT_EQ(storedString("/Setting/Scan/FileSourceName"), std::u16string(name));
  }
  EXPECT_EQ(session_->OpenFile(nullptr, u"\\media\\d.ts"), plat::E_FAIL);
  EXPECT_NE(session_->GetSource(), nullptr);  // the previous file stays open
}

class PlaylistSession : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    std::filesystem::create_directories(root_);
    std::ofstream(root_ / "Playlist.xml") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Playlist></Playlist>\n";
    ASSERT_EQ(CoCreateVexoCmnPlaylistManager(lists_.put()), plat::S_OK);
    ASSERT_EQ(lists_->Load(u"\\Playlist.xml"), plat::S_OK);
    uint32_t index = 0;
    ASSERT_EQ(lists_->AddPlaylist(u"Current Playing", &index), plat::S_OK);
    playlist_ = McPtr<IVexoCmnPlaylist>::adopt(lists_->GetPlaylist(index));
    ASSERT_TRUE(playlist_);
  }
  void TearDown() override {
    playlist_.reset();
    lists_.reset();
    SessionTest::TearDown();
  }
  McPtr<IVexoCmnPlaylistManager> lists_;
  McPtr<IVexoCmnPlaylist> playlist_;
};

TEST_F(PlaylistSession, ItemsChooseTheirSourceAndStartPlaying) {
  struct Case {
    std::u16string path;
    uint32_t kind;
    bool registered;
  };
  ASSERT_EQ(session_->RegisterFileType(u".MP4"), plat::S_OK);
  const Case cases[] = {
      {makeFile("one.ts"), zant::kFileKindTransportStream, false},
      {makeFile("two.TRP"), zant::kFileKindTransportStream, false},
      {makeFile("three.mfs"), zant::kFileKindCmmbMultiplex, false},
      {makeFile("four.mp4"), zant::kFileKindOtherMedia, true},
      {makeFile("noextension"), zant::kFileKindOtherMedia, false},
  };
  for (const Case& c : cases) ASSERT_EQ(playlist_->AddItem(c.path.c_str(), nullptr), plat::S_OK);
  for (int32_t i = 0; i < static_cast<int32_t>(std::size(cases)); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(plat::utf16ToUtf8(c.path));
    sink_->clear();
    ASSERT_EQ(session_->OpenPlaylistItem(sources_.get(), playlist_.get(), i), plat::S_OK);
    EXPECT_EQ(session_->GetSourceType() & ~zant::kSourceClassMask, c.kind);
    EXPECT_EQ(session_->GetPlaylist(), playlist_.get());
    int32_t index = -1;
    ASSERT_EQ(session_->GetPlaylistIndex(&index), plat::S_OK);
    EXPECT_EQ(index, i);
    EXPECT_EQ(session_->IsRegisteredFileType(), c.registered ? 1 : 0);
    EXPECT_EQ(storedString("/Setting/LastPlayList/Name"), u"Current Playing");
    EXPECT_EQ(storedDword("/Setting/LastPlayList/Index"), static_cast<uint32_t>(i));
    auto codes = sink_->codes();
    EXPECT_TRUE(inOrder(codes, {vexo::kSessionOpened, kFlagsEvent, vexo::kSessionScanEnd}));
    // A playlist with items always offers previous and next.
    EXPECT_EQ(session_->GetControlFlags() & 0x30u, 0x30u);
    if (c.kind == zant::kFileKindOtherMedia) {
      EXPECT_TRUE(inOrder(codes, {vexo::kSessionOpened, 0x3000A, 0x20001}));
    }
  }
  // Closing releases the playlist.
  session_->Close();
  EXPECT_EQ(session_->GetPlaylist(), nullptr);
  EXPECT_EQ(session_->IsRegisteredFileType(), 0);
}

TEST_F(PlaylistSession, BadItemsLeaveTheCurrentSourceOpen) {
  ASSERT_EQ(playlist_->AddItem(makeFile("one.ts").c_str(), nullptr), plat::S_OK);
  openLive();
  IZantSourceDevice* live = session_->GetSource();
  sink_->clear();
  EXPECT_EQ(session_->OpenPlaylistItem(sources_.get(), playlist_.get(), 1), plat::E_INVALIDARG);
  EXPECT_EQ(session_->OpenPlaylistItem(sources_.get(), playlist_.get(), -1), plat::E_INVALIDARG);
  EXPECT_EQ(session_->OpenPlaylistItem(nullptr, playlist_.get(), 0), plat::E_INVALIDARG);
  EXPECT_EQ(session_->OpenPlaylistIndex(sources_.get(), 0), plat::E_FAIL);  // no current playlist
  session_->SetBusy(1);
  EXPECT_EQ(session_->OpenPlaylistItem(sources_.get(), playlist_.get(), 0), plat::E_FAIL);
  session_->SetBusy(0);
  EXPECT_EQ(session_->GetSource(), live);
  EXPECT_TRUE(sink_->events().empty());
  EXPECT_EQ(session_->GetPlaylistIndex(nullptr), plat::E_INVALIDARG);
}

TEST_F(SessionTest, RegisteredFileTypesHoldAtMost128) {
  for (int i = 0; i < 128; ++i) ASSERT_EQ(session_->RegisterFileType(u".ext"), plat::S_OK) << i;
  EXPECT_EQ(session_->RegisterFileType(u".one"), plat::E_FAIL);
  McPtr<IVexoCmnPlayerSession> other;
  CoCreateVexoCmnPlayerSession(other.put());
  EXPECT_EQ(other->RegisterFileType(u".abcdefghijklmnopqrstuvwxyz01234"), plat::E_INVALIDARG);  // 32 characters
  EXPECT_EQ(other->RegisterFileType(u".abcdefghijklmnopqrstuvwxyz0123"), plat::S_OK);
  EXPECT_EQ(other->RegisterFileType(nullptr), plat::E_INVALIDARG);
}

TEST_F(PlaylistSession, LiveAndFileChannelsAreRememberedApart) {
  openLive();
  ASSERT_EQ(session_->SelectChannelByIndex(2), plat::S_OK);
  EXPECT_EQ(storedDword("/Setting/LastChannel"), 2u);
  EXPECT_EQ(storedDword("/Setting/LastFileChannel"), 0u);
  // A playlist's transport-stream item selects its first channel: the file's
  // index must not overwrite the live channel.
  ASSERT_EQ(playlist_->AddItem(makeFile("one.ts").c_str(), nullptr), plat::S_OK);
  ASSERT_EQ(store_->SetDWORD("/Setting/LastFileChannel", 7), plat::S_OK);
  ASSERT_EQ(session_->OpenPlaylistItem(sources_.get(), playlist_.get(), 0), plat::S_OK);
  EXPECT_EQ(session_->GetCurrentChannelIndex(), 0);
  EXPECT_EQ(storedDword("/Setting/LastChannel"), 2u);
  EXPECT_EQ(storedDword("/Setting/LastFileChannel"), 0u);
}

TEST_F(SessionTest, CloseQuietNamesTheSourceItReleases) {
  {
    plat::DebugCapture capture;
    EXPECT_EQ(session_->CloseQuiet(), plat::S_OK);  // nothing open: nothing to name
    for (const auto& line : capture.lines()) EXPECT_EQ(line.find("gets released"), std::string::npos) << line;
  }
  openLive();
  sink_->clear();
  plat::DebugCapture capture;
  ASSERT_EQ(session_->CloseQuiet(), plat::S_OK);
  bool named = false;
  for (const auto& line : capture.lines()) named |= line.rfind("UI: ISDB-T Tuner gets released, The count is ", 0) == 0;
  EXPECT_TRUE(named);
  EXPECT_EQ(sink_->count(vexo::kSessionClosed), 0u);
  EXPECT_EQ(session_->GetSource(), nullptr);
  // The property store stays for the next open.
  void* properties = nullptr;
  EXPECT_EQ(session_->QueryEngineInterface(IZantPropertyStore::iid, &properties), plat::S_OK);
  EXPECT_NE(properties, nullptr);
}

TEST_F(SessionTest, ReleasingAnOpenSessionReleasesEachInterfaceOnce) {
  auto createPlayer = engine_->function<ZantCreateMediaPlayerFn>(zant::kFactoryMediaPlayer);
  McPtr<IZantMediaPlayer> fresh;
  ASSERT_EQ(createPlayer(&IZantMediaPlayer::iid, fresh.putVoid()), plat::S_OK);
  const uint32_t alone = fresh->AddRef() - 1;  // what the engine holds besides its owner
  fresh->Release();
  openLive();
  ASSERT_EQ(session_->SelectChannelByIndex(1), plat::S_OK);
  auto player = McPtr<IZantMediaPlayer>::share(session_->GetMediaPlayer());
  auto tuner = McPtr<IZantSourceDevice>::share(session_->GetSource());
  session_->Unadvise(sink_->exposed());
  session_.reset();  // every interface the session held (recorder, snapshot too) goes exactly once
  EXPECT_EQ(player->AddRef() - 1, alone);
  player->Release();
  uint32_t type = 0;
  EXPECT_EQ(tuner->GetType(&type), plat::S_OK);
}

// ---- channels ----

TEST_F(SessionTest, NextAndPreviousWrapWithAndWithoutFilter) {
  openLive();
  struct Case {
    uint32_t filter;
    int32_t from;
    bool next;
    int32_t to;
  };
  const Case cases[] = {
      {0, 9, true, 0},  {0, 0, false, 9}, {0, 4, true, 5}, {0, 4, false, 3},
      {1, 9, true, 1},  {1, 1, false, 9},  // wraps past the radio channel (index 0)
      {1, 0, true, 2},  {1, 0, false, 9},  // current not in the list: item 1 / item n - 1
      {2, 3, true, 0},  {2, 0, false, 0},  // one radio channel
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "filter " << c.filter << " from " << c.from << (c.next ? " next" : " previous"));
    session_->SetChannelType(0);
    ASSERT_EQ(session_->SelectChannelByIndex(c.from), plat::S_OK);
    ASSERT_EQ(session_->GetCurrentChannelIndex(), c.from);
    session_->SetChannelType(c.filter);
    ASSERT_EQ(c.next ? session_->NextChannel() : session_->PreviousChannel(), plat::S_OK);
    EXPECT_EQ(session_->GetCurrentChannelIndex(), c.to);
  }
  session_->SetChannelType(7);  // keeps nothing
  EXPECT_EQ(session_->NextChannel(), plat::E_FAIL);
  McPtr<IVexoCmnCollection> none;
  ASSERT_EQ(session_->GetFilteredChannelList(none.put()), plat::S_OK);
  uint32_t n = 99;
  none->GetCount(&n);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(none->GetCount(nullptr), plat::E_POINTER);
}

TEST_F(SessionTest, ChannelChangesAreRefusedWhileRecording) {
  openLive();
  ASSERT_EQ(session_->SelectChannelByIndex(1), plat::S_OK);
  ASSERT_EQ(session_->SetSettingString(14, folder("pvr").c_str()), plat::S_OK);
  ASSERT_EQ(session_->Play(0), plat::S_OK);
  ASSERT_EQ(session_->StartRecord(), plat::S_OK);
  ASSERT_EQ(state(), zant::kStateRecording);
  EXPECT_EQ(session_->GetControlFlags() & 0x2031u, 0u);
  ASSERT_EQ(store_->SetDWORD("/Setting/LastChannel", 1), plat::S_OK);
  control_->ClearCallLog();
  EXPECT_EQ(session_->SelectChannelByIndex(3), plat::S_OK);
  EXPECT_EQ(session_->NextChannel(), plat::S_OK);
  auto channel = McPtr<IZantChannel>::adopt(session_->GetCurrentChannel());
  EXPECT_EQ(session_->SelectChannelById(5), plat::S_OK);
  EXPECT_EQ(session_->GetCurrentChannelIndex(), 1);
  EXPECT_EQ(callLog().find("IZantChannelManager::Select"), std::string::npos);
  EXPECT_EQ(storedDword("/Setting/LastChannel"), 1u);
  EXPECT_EQ(state(), zant::kStateRecording);
  ASSERT_EQ(session_->StopRecord(), plat::S_OK);
  EXPECT_EQ(session_->GetControlFlags() & 0x2031u, 0x2031u);
  EXPECT_EQ(session_->StopRecord(), plat::S_FALSE);  // nothing recording any more
}

TEST_F(SessionTest, ChannelSelectionFailureKeepsTheOldChannel) {
  openLive();
  ASSERT_EQ(session_->SelectChannelByIndex(2), plat::S_OK);
  control_->InjectFailure("IZantChannelManager::SelectByIndex", plat::E_FAIL, 1);
  sink_->clear();
  EXPECT_EQ(session_->SelectChannelByIndex(4), plat::E_FAIL);
  EXPECT_EQ(session_->GetCurrentChannelIndex(), 2);
  EXPECT_EQ(storedDword("/Setting/LastChannel"), 2u);
  EXPECT_GE(sink_->count(kFlagsEvent), 1u);  // the flags are reported again
  EXPECT_EQ(session_->SelectChannelById(0), plat::E_FAIL);
  EXPECT_EQ(session_->SelectChannel(nullptr), plat::E_FAIL);
  // Running on the current index: nothing to do.
  ASSERT_EQ(session_->Play(0), plat::S_OK);
  control_->ClearCallLog();
  EXPECT_EQ(session_->SelectChannelByIndex(2), plat::S_OK);
  EXPECT_EQ(callLog().find("SelectByIndex"), std::string::npos);
}

TEST_F(SessionTest, ChannelListIsSavedAndRestoredInTheSourcesFolder) {
  openLive();
  ASSERT_EQ(session_->SaveChannelList(), plat::S_OK);
  plat::String16 folderPath = vexo::residentFlashPath() + u"Norvale\\Ondavue\\ChannelList\\ISDB-T_Tuner";
  EXPECT_TRUE(plat::directoryExists(folderPath));
  plat::DebugCapture capture;
  EXPECT_EQ(session_->RestoreChannelList(), plat::S_OK);
  bool timed = false;
  for (const auto& line : capture.lines()) timed |= line.rfind("UI: Restore Channel List time count: ", 0) == 0;
  EXPECT_TRUE(timed);
  session_->Close();
  EXPECT_EQ(session_->SaveChannelList(), plat::E_FAIL);
}

// ---- playback ----

TEST_F(SessionTest, DateTimeRecordsConvertBothWays) {
  struct Case {
    uint32_t ms;
    uint16_t hour, minute, second, milli;
  };
  const Case cases[] = {{0, 0, 0, 0, 0}, {3723004, 1, 2, 3, 4}, {59999, 0, 0, 59, 999}, {86400000, 24, 0, 0, 0}};
  for (const Case& c : cases) {
    ZantTime t = vexo::msToTime(c.ms);
    EXPECT_EQ(t.hour, c.hour);
    EXPECT_EQ(t.minute, c.minute);
    EXPECT_EQ(t.second, c.second);
    EXPECT_EQ(t.milliseconds, c.milli);
    EXPECT_EQ(t.year, 0);
    EXPECT_EQ(t.day, 0);
    EXPECT_EQ(vexo::timeToMs(t), c.ms);
  }
  // Through the engine: a position sent as milliseconds reads back the same.
  ASSERT_EQ(session_->OpenFile(sources_.get(), makeFile("rec.ts").c_str()), plat::S_OK);
  uint32_t duration = 0;
  ASSERT_EQ(session_->GetDuration(&duration), plat::S_OK);
  EXPECT_EQ(duration, 10000u);
  uint32_t position = 99;
  ASSERT_EQ(session_->GetPosition(&position), plat::S_OK);
  EXPECT_EQ(position, 0u);  // stopped: zero
  ASSERT_EQ(session_->Play(0), plat::S_OK);
  ASSERT_EQ(session_->Seek(8004), plat::S_OK);
  ZantTime at{};
  ASSERT_EQ(session_->GetPositionTime(&at), plat::S_OK);
  EXPECT_EQ(at.second, 8);
  EXPECT_EQ(at.milliseconds, 4);
  EXPECT_EQ(session_->GetDuration(nullptr), plat::E_INVALIDARG);
  EXPECT_EQ(session_->GetPositionTime(nullptr), plat::E_INVALIDARG);
  // A playing file has a duration: 0xC000 follows the running state.
  EXPECT_EQ(session_->GetControlFlags() & 0xC000u, 0xC000u);
  ASSERT_EQ(session_->Stop(), plat::S_OK);
  EXPECT_EQ(session_->GetControlFlags() & 0x2073u, 0x2073u);
  ASSERT_EQ(session_->GetPosition(&position), plat::S_OK);
  EXPECT_EQ(position, 0u);
}

TEST_F(SessionTest, HideStackKeepsVideoHiddenWhileAnyoneAsks) {
  openLive();
  auto propertySet = mcQuery<IZantPropertySet>(session_->GetMediaPlayer());
  ASSERT_TRUE(propertySet);
  auto shown = [&] {
    uint32_t flag = 99, got = 0;
    propertySet->Get(zant::kPropSetVideo, 1, &flag, sizeof(flag), &got);
    return flag;
  };
  const std::vector<std::pair<uint32_t, uint32_t>> steps = {{0, 0}, {0, 0}, {1, 0}, {1, 1}, {1, 1}, {0, 0}, {1, 1}};
  for (size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(session_->ShowVideo(steps[i].first), plat::S_OK);
    EXPECT_EQ(shown(), steps[i].second);
  }
  control_->WithholdInterface(IZantPropertySet::iid, 1);
  EXPECT_TRUE(plat::failed(session_->ShowVideo(1)));
  control_->WithholdInterface(IZantPropertySet::iid, 0);
}

// ---- recording, snapshots, time-shift ----

TEST_F(SessionTest, MissingFoldersAreRefusedWithoutCallingTheEngine) {
  openLive();
  ASSERT_EQ(session_->SelectChannelByIndex(1), plat::S_OK);
  ASSERT_EQ(session_->Play(0), plat::S_OK);
  std::filesystem::create_directories(root_);
  std::ofstream(root_ / "plainfile") << "x";
  struct Case {
    uint32_t id;
    const char16_t* folderText;
    const char* engineMethod;
    std::function<Status()> call;
  };
  const Case cases[] = {
      {14, u"\\missing", "IZantRecorder::Start", [&] { return session_->StartRecord(); }},
      {14, u"\\plainfile", "IZantRecorder::Start", [&] { return session_->StartRecord(); }},
      {18, u"\\missing", "IZantSnapshot::Take", [&] { return session_->TakeSnapshot(); }},
      {21, u"\\missing", "IZantTimeShift::Start", [&] { return session_->StartTimeShift(0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.engineMethod);
    ASSERT_EQ(store_->SetString(vexo::sessionSettingPath(c.id), c.folderText), plat::S_OK);
    uint32_t flags = session_->GetControlFlags();
    control_->ClearCallLog();
    sink_->clear();
    EXPECT_EQ(c.call(), vexo::kFolderMissing);
    EXPECT_EQ(callLog().find(c.engineMethod), std::string::npos);
    EXPECT_EQ(session_->GetControlFlags(), flags);
    EXPECT_TRUE(sink_->events().empty());
  }
  // With the folder there, the snapshot is taken.
  ASSERT_EQ(session_->SetSettingString(18, folder("shots").c_str()), plat::S_OK);
  control_->ClearCallLog();
  EXPECT_EQ(session_->TakeSnapshot(), plat::S_OK);
  EXPECT_NE(callLog().find("IZantSnapshot::Take"), std::string::npos);
}

TEST_F(SessionTest, TimeShiftStartsSeeksAndClamps) {
  openLive();
  ASSERT_EQ(session_->SelectChannelByIndex(1), plat::S_OK);
  ASSERT_EQ(session_->SetSettingString(21, folder("ts").c_str()), plat::S_OK);
  ASSERT_EQ(session_->SetSettingDWORD(22, 20, 1), plat::S_OK);
  ASSERT_EQ(session_->Play(0), plat::S_OK);
  // No buffer yet: the failed length query is returned and nothing seeks.
  control_->ClearCallLog();
  EXPECT_TRUE(plat::failed(session_->SeekTimeShift(1000)));
  EXPECT_EQ(callLog().find("IZantTimeShift::Seek"), std::string::npos);

  sink_->clear();
  ASSERT_EQ(session_->StartTimeShift(0), plat::S_OK);
  EXPECT_TRUE(inOrder(sink_->codes(), {kFlagsEvent, vexo::kSessionTimeShiftStarted}));
  EXPECT_EQ(session_->GetControlFlags() & 0xC000u, 0xC000u);
  advance(10000, 1000);
  uint32_t length = 0;
  ASSERT_EQ(session_->GetTimeShiftLength(&length), plat::S_OK);
  EXPECT_EQ(length, 10000u);
  ZantTime lengthTime{};
  ASSERT_EQ(session_->GetTimeShiftLengthTime(&lengthTime), plat::S_OK);
  EXPECT_EQ(vexo::timeToMs(lengthTime), 10000u);
  ASSERT_EQ(session_->Pause(), plat::S_OK);
  ASSERT_EQ(session_->SeekTimeShift(7000), plat::S_OK);  // 3 s behind live
  uint32_t position = 0;
  ASSERT_EQ(session_->GetTimeShiftPosition(&position), plat::S_OK);
  EXPECT_EQ(position, 3000u);
  ASSERT_EQ(session_->SeekTimeShift(25000), plat::S_OK);  // past the end: live
  ASSERT_EQ(session_->GetTimeShiftPosition(&position), plat::S_OK);
  EXPECT_EQ(position, 0u);
  ZantTime t = vexo::msToTime(9000);
  ASSERT_EQ(session_->SeekTimeShiftTime(&t), plat::S_OK);
  ZantTime at{};
  ASSERT_EQ(session_->GetTimeShiftPositionTime(&at), plat::S_OK);
  EXPECT_EQ(vexo::timeToMs(at), 1000u);
  EXPECT_EQ(session_->GetTimeShiftLength(nullptr), plat::E_INVALIDARG);

  sink_->clear();
  ASSERT_EQ(session_->StopTimeShift(), plat::S_OK);
  EXPECT_TRUE(inOrder(sink_->codes(), {kFlagsEvent, vexo::kSessionTimeShiftStopped}));
  EXPECT_EQ(session_->GetControlFlags() & 0xC000u, 0u);
}

TEST_F(SessionTest, SuspendingLiveTelevisionStartsTimeShift) {
  openLive();
  ASSERT_EQ(session_->SelectChannelByIndex(1), plat::S_OK);
  ASSERT_EQ(session_->SetSettingString(21, folder("ts").c_str()), plat::S_OK);
  ASSERT_EQ(session_->Play(0), plat::S_OK);
  sink_->clear();
  ASSERT_EQ(session_->Suspend(), plat::S_OK);
  EXPECT_EQ(state(), zant::kStatePaused);
  EXPECT_EQ(sink_->count(vexo::kSessionTimeShiftStarted), 1u);
  // Stop ends the time-shift first and reports the stopped buttons.
  sink_->clear();
  ASSERT_EQ(session_->Stop(), plat::S_OK);
  EXPECT_TRUE(inOrder(sink_->codes(), {vexo::kSessionTimeShiftStopped, kFlagsEvent}));
  EXPECT_EQ(session_->GetControlFlags() & 0x2073u, 0x2073u);
  EXPECT_EQ(state(), zant::kStateStopped);
}

// ---- names ----

TEST(SessionNames, SourceNamesBecomeValidElementNames) {
  struct Case {
    std::u16string name;
    std::string element;
  };
  const Case cases[] = {
      {u"ISDB-T Tuner", "ISDB-T_Tuner"},
      {u"1seg (Tokyo) #&',", "_1seg__Tokyo______"},
      {u"-dash", "_-dash"},
      {u".dot", "_.dot"},
      {u"", ""},
      {u"チューナー", "チューナー"},
      {u"a\"*/:<>?[\\]|b", "a___________b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.element);
    EXPECT_EQ(vexo::xmlSafeSourceName(c.name), c.element);
  }
  EXPECT_EQ(vexo::pathSafeSourceName(u"a\"*/:<>?[\\]| b(#)"), u"a____________b(#)");
}

TEST_F(SessionTest, PerSourceFontFlagIsAReadableSetting) {
  EXPECT_EQ(session_->SetSourceUseJapaneseFont(1), plat::E_FAIL);  // no source
  openLive();
  ASSERT_EQ(session_->SetSourceUseJapaneseFont(1), plat::S_OK);
  uint8_t value = 0;
  ASSERT_EQ(store_->GetBool("/Setting/ISDB-T_Tuner/UseJapaneseFont", &value), plat::S_OK);
  EXPECT_EQ(value, 1);
  // The global flag is another setting.
  EXPECT_EQ(session_->GetUseJapaneseFont(), 0);
  ASSERT_EQ(store_->SetBool("/Setting/UseJapaneseFont", 1), plat::S_OK);
  EXPECT_EQ(session_->GetUseJapaneseFont(), 1);
  // The document still loads after a save.
  ASSERT_EQ(store_->Save(), plat::S_OK);
  McPtr<IVexoCmnSetting> again;
  ASSERT_EQ(CoCreateVexoCmnSetting(vexo::kSettingKindFile, 0, "Norvale", "Ondavue", again.put()), plat::S_OK);
  value = 0;
  EXPECT_EQ(again->GetBool("/Setting/ISDB-T_Tuner/UseJapaneseFont", &value), plat::S_OK);
  EXPECT_EQ(value, 1);
}

TEST_F(SessionTest, SmallQueries) {
  openLive();
  EXPECT_EQ(session_->SupportsParentalAge(), 1);
  EXPECT_EQ(session_->SupportsParentalContent(), 1);
  void* p = nullptr;
  EXPECT_EQ(session_->QueryEngineInterface(IZantChannelManager::iid, &p), plat::S_OK);
  EXPECT_NE(p, nullptr);
  EXPECT_EQ(session_->QueryEngineInterface(IZantMediaSeeking::iid, &p), plat::E_FAIL);
  ASSERT_EQ(session_->QueryEngineInterface(IZantTimeShift::iid, &p), plat::S_OK);
  static_cast<IZantTimeShift*>(p)->Release();
  McPtr<IZantEnum> all;
  ASSERT_EQ(session_->GetChannelList(all.put()), plat::S_OK);
  uint32_t n = 0;
  all->GetCount(&n);
  EXPECT_EQ(n, 10u);
  store_->SetDWORD("/Setting/ChannelType", 2);
  session_->SetSetting(store_.get());
  EXPECT_EQ(session_->GetChannelType(), 2u);
}

TEST_F(SessionTest, SubtitleStreamsAreSelectedOneAtATime) {
  openLive();
  ASSERT_EQ(session_->SelectChannelByIndex(1), plat::S_OK);
  auto channel = McPtr<IZantChannel>::adopt(session_->GetCurrentChannel());
  ASSERT_TRUE(channel);
  EXPECT_EQ(session_->EnumStreams(nullptr, nullptr), plat::E_INVALIDARG);
  ASSERT_EQ(session_->SelectStream(channel.get(), 0), plat::S_OK);
  EXPECT_EQ(session_->GetSelectedStream(channel.get()), 0);
  ASSERT_EQ(session_->DisableAllStreams(channel.get()), plat::S_OK);
  EXPECT_EQ(session_->GetSelectedStream(channel.get()), -1);
}

// ---- threads ----

// Hides the video on quality 2 and shows it on quality 0 of event 0x30011,
// as the program's video window does on the engine's thread.
class VideoWindowSink final : public McObject<IZantMediaEventSink> {
 public:
  explicit VideoWindowSink(IVexoCmnPlayerSession* session) : session_(session) {}
  Status OnEvent(IMcUnknown*, uint32_t code, uintptr_t p1, uintptr_t) override {
    if (code == 0x30011 && p1 == 2) session_->ShowVideo(0);
    if (code == 0x30011 && p1 == 0) session_->ShowVideo(1);
    return plat::S_OK;
  }

 private:
  ~VideoWindowSink() override = default;
  IVexoCmnPlayerSession* session_;
};

// Engine events arrive on the engine's thread while the user-interface thread
// drives the session; run under TSan this shows what both sides touch is guarded.
TEST_F(SessionTest, EngineThreadEventsWhileTheUserInterfaceCallsIn) {
  openLive();
  ASSERT_EQ(session_->SelectChannelByIndex(1), plat::S_OK);
  ASSERT_EQ(session_->SetSettingString(14, folder("pvr").c_str()), plat::S_OK);
  ASSERT_EQ(session_->Play(0), plat::S_OK);
  auto video = McPtr<VideoWindowSink>::adopt(new VideoWindowSink(session_.get()));
  ASSERT_EQ(session_->Advise(video->exposed()), plat::S_OK);
  ASSERT_EQ(control_->SetEventThreading(1), plat::S_OK);
  constexpr int kRounds = 40;
  constexpr int kHides = 4;
  for (int i = 0; i < kRounds; ++i) {
    control_->ScriptEvent(0, 0x20002, 0, zant::kCapPlayLive | zant::kCapRecord);
    control_->ScriptEvent(0, 0x80008, 0, 0);
    control_->ScriptEvent(0, 0x30008, 0, 0);
    control_->ScriptEvent(0, 0x30011, i < 2 * kHides ? static_cast<uintptr_t>(2 * ((i + 1) % 2)) : 7, 0);
  }
  for (int i = 0; i < kRounds; ++i) {
    session_->GetControlFlags();
    session_->GetMode();
    if (session_->StartRecord() == plat::S_OK) session_->StopRecord();
    session_->SetChannelType(static_cast<uint32_t>(i % 3));
    McPtr<IVexoCmnCollection> list;
    session_->GetFilteredChannelList(list.put());
    session_->GetCurrentChannelIndex();
    if (i < kHides) {
      session_->ShowVideo(0);
      session_->ShowVideo(1);
    }
  }
  ASSERT_TRUE(sink_->waitFor(0x30011, kRounds));
  ASSERT_TRUE(sink_->waitFor(0x30008, kRounds));
  control_->SetEventThreading(0);
  session_->Unadvise(video->exposed());
  // Every bit set by both sides survives: no update was lost.
  EXPECT_EQ(session_->GetControlFlags() & 0x2031u, 0x2031u);
  EXPECT_EQ(session_->GetMode(), 7u);
  // Every hide was matched by a show, from either thread: the video is shown.
  auto propertySet = mcQuery<IZantPropertySet>(session_->GetMediaPlayer());
  uint32_t flag = 99, got = 0;
  ASSERT_EQ(propertySet->Get(zant::kPropSetVideo, 1, &flag, sizeof(flag), &got), plat::S_OK);
  EXPECT_EQ(flag, 1u);
  session_->Close();
}

}  // namespace
