// Player states, file playback, recording, time-shift, snapshots and the
// engine thread.
#include <atomic>
#include <cstring>
#include <fstream>

#include "engine_fixture.h"
#include "plat/sync.h"

namespace enginetest {
namespace {

using namespace zant;

int32_t stateOf(IZantMediaPlayer* p) {
  int32_t s = -1;
  p->GetState(&s, 0);
  return s;
}

uint32_t ms(const ZantTime& t) { return ((t.hour * 3600u + t.minute * 60u + t.second) * 1000u) + t.milliseconds; }

TEST_F(EngineTest, LiveStatesFollowOneTable) {
  openLive();
  EXPECT_EQ(stateOf(player_.get()), kStateStopped);
  EXPECT_EQ(player_->Run(0), plat::E_FAIL);  // no channel yet
  tokyoLineUp();
  channels_->SelectByIndex(1);
  sink_->clear();
  ASSERT_EQ(player_->Run(0), plat::S_OK);
  EXPECT_EQ(stateOf(player_.get()), kStateRunning);
  ASSERT_EQ(sink_->events().front().code, kEvStateChanged);
  EXPECT_EQ(sink_->events().front().p1, static_cast<uintptr_t>(kStateRunning));
  advance(300);
  EXPECT_EQ(sink_->count(kEvFirstVideoFrame), 1u);
  ASSERT_EQ(player_->Pause(), plat::S_OK);
  EXPECT_EQ(stateOf(player_.get()), kStatePaused);
  ASSERT_EQ(player_->Run(0), plat::S_OK);
  ASSERT_EQ(player_->Stop(), plat::S_OK);
  EXPECT_EQ(stateOf(player_.get()), kStateStopped);
  uint32_t caps = 0;
  player_->GetCapabilities(&caps);
  EXPECT_TRUE(caps & kCapPlayLive);
  EXPECT_FALSE(caps & kCapSeek);
  ASSERT_EQ(player_->CloseSource(), plat::S_OK);
  EXPECT_EQ(stateOf(player_.get()), kStateClosed);
  EXPECT_EQ(player_->Run(0), plat::E_FAIL);
}

class FilePlayback : public EngineTest {
 protected:
  // A 520,000-byte file plays for 10 s at the simulated one-segment rate.
  std::u16string makeFile(const char* name, size_t bytes) {
    std::filesystem::create_directories(root_ / "media");
    std::ofstream(root_ / "media" / name, std::ios::binary) << std::string(bytes, '\x47');
    return u"\\media\\" + plat::utf8ToUtf16(name);
  }
  void openFile(const std::u16string& path) {
    ASSERT_EQ(createPlayer_(&IZantMediaPlayer::iid, player_.putVoid()), plat::S_OK);
    auto src = device(kSourceClassFile, kFileKindTransportStream);
    ASSERT_TRUE(src);
    openResult_ = player_->Open(src.get(), 0, path.c_str(), nullptr, sink_->sink());
    seeking_ = mcQuery<IZantMediaSeeking>(player_.get());
  }
  Status openResult_ = plat::E_FAIL;
  McPtr<IZantMediaSeeking> seeking_;
};

TEST_F(FilePlayback, DurationPositionSeekAndEndOfFile) {
  openFile(makeFile("rec.ts", 520000));
  ASSERT_EQ(openResult_, plat::S_OK);
  ASSERT_TRUE(seeking_);
  ZantTime t{};
  ASSERT_EQ(seeking_->GetDuration(&t), plat::S_OK);
  EXPECT_EQ(ms(t), 10000u);
  // The file carries one service, named after the file.
  ASSERT_EQ(player_->GetServiceStreams(streams_.put()), plat::S_OK);
  channels_ = mcQuery<IZantChannelManager>(streams_.get());
  uint32_t n = 0;
  channels_->GetCount(&n);
  EXPECT_EQ(n, 1u);
  ASSERT_EQ(player_->Run(0), plat::S_OK);
  advance(4000);
  seeking_->GetPosition(&t);
  EXPECT_EQ(ms(t), 4000u);
  ZantTime target{};
  target.second = 8;
  ASSERT_EQ(seeking_->SetPosition(&target), plat::S_OK);
  target.second = 11;
  EXPECT_EQ(seeking_->SetPosition(&target), plat::E_INVALIDARG);
  sink_->clear();
  advance(1900);
  EXPECT_EQ(sink_->count(kEvEndOfFile), 0u);
  advance(200);
  ASSERT_EQ(sink_->count(kEvEndOfFile), 1u);
  EXPECT_EQ(stateOf(player_.get()), kStateStopped);
  seeking_->GetPosition(&t);
  EXPECT_EQ(ms(t), 10000u);
  // Pause freezes the position.
  target.second = 1;
  seeking_->SetPosition(&target);
  player_->Run(0);
  advance(1000);
  player_->Pause();
  advance(5000);
  seeking_->GetPosition(&t);
  EXPECT_EQ(ms(t), 2000u);
}

TEST_F(FilePlayback, MissingFileIsReportedThroughEvents) {
  openFile(u"\\media\\absent.ts");
  EXPECT_EQ(openResult_, plat::E_FILE_NOT_FOUND);
  EXPECT_EQ(sink_->count(kEvNotSupported), 1u);
  EXPECT_EQ(stateOf(player_.get()), kStateClosed);
}

class Recording : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    openLive();
    tokyoLineUp();
    channels_->SelectByIndex(1);
    settings_ = mcQuery<IZantPlayerSettings>(player_.get());
    recorder_ = mcQuery<IZantRecorder>(player_.get());
    ASSERT_TRUE(settings_ && recorder_);
  }
  McPtr<IZantPlayerSettings> settings_;
  McPtr<IZantRecorder> recorder_;
};

TEST_F(Recording, MissingFolderIsRefusedWithItsCode) {
  ASSERT_EQ(player_->Run(0), plat::S_OK);
  settings_->SetString(kSetRecordPath, u"\\nowhere");
  EXPECT_EQ(recorder_->Start(), plat::E_FOLDER_MISSING);
  EXPECT_EQ(stateOf(player_.get()), kStateRunning);
}

TEST_F(Recording, WritesAGrowingFileUntilStopped) {
  ASSERT_EQ(player_->Run(0), plat::S_OK);
  std::u16string dir = folder("Recorder");
  settings_->SetString(kSetRecordPath, dir.c_str());
  std::u16string created;
  sink_->hook = [&](uint32_t code, uintptr_t p1, uintptr_t) {
    if (code == kEvRecordFileCreated) created = reinterpret_cast<const char16_t*>(p1);
  };
  ASSERT_EQ(recorder_->Start(), plat::S_OK);
  EXPECT_EQ(stateOf(player_.get()), kStateRecording);
  ASSERT_FALSE(created.empty());
  auto host = plat::toHostPath(created);
  ASSERT_TRUE(host);
  advance(2000);
  uint64_t early = std::filesystem::file_size(*host);
  advance(3200);  // ends between two writer ticks
  uint64_t later = std::filesystem::file_size(*host);
  EXPECT_GT(early, 0u);
  EXPECT_GT(later, early);
  // Channel changes are refused while recording.
  EXPECT_EQ(channels_->SelectByIndex(2), plat::E_FAIL);
  sink_->clear();
  ASSERT_EQ(recorder_->Stop(), plat::S_OK);
  EXPECT_EQ(sink_->count(kEvRecordStopped), 1u);
  EXPECT_EQ(stateOf(player_.get()), kStateRunning);
  uint64_t size = std::filesystem::file_size(*host);
  EXPECT_EQ(size % 188, 0u);
  EXPECT_EQ(size, 5200u * 52000u / 1000u / 188u * 188u);  // a requested stop keeps everything up to now
  std::ifstream in(*host, std::ios::binary);
  EXPECT_EQ(in.get(), 0x47);  // transport-stream sync byte
  EXPECT_EQ(recorder_->Stop(), plat::S_FALSE);
}

TEST_F(Recording, FileSizeLimitStopsWithItsCode) {
  ASSERT_EQ(player_->Run(0), plat::S_OK);
  std::u16string dir = folder("Recorder");
  settings_->SetString(kSetRecordPath, dir.c_str());
  ASSERT_EQ(settings_->SetDWORD(kSetFileLimitMb, 1), plat::S_OK);
  ASSERT_EQ(recorder_->Start(), plat::S_OK);
  sink_->clear();
  advance(25000, 500);
  std::vector<uint32_t> codes = sink_->codes();
  auto limit = std::find(codes.begin(), codes.end(), kEvRecordFileLimit);
  ASSERT_NE(limit, codes.end());
  EXPECT_EQ(*(limit + 1), kEvRecordStopped);
  EXPECT_EQ(stateOf(player_.get()), kStateRunning);
  uint64_t bytes = 0;
  recorder_->GetBytesWritten(&bytes);
  EXPECT_GE(bytes, 1024u * 1024u);
  EXPECT_LT(bytes, 1024u * 1024u + 52000u);
}

TEST_F(Recording, DiskLimitCountsEveryRecording) {
  ASSERT_EQ(player_->Run(0), plat::S_OK);
  std::u16string dir = folder("Recorder");
  // An earlier recording already takes 10 MB: the 10 MB disk limit is reached at once.
  std::ofstream(root_ / "Recorder" / "old.ts", std::ios::binary) << std::string(10 * 1024 * 1024, '\0');
  settings_->SetString(kSetRecordPath, dir.c_str());
  ASSERT_EQ(settings_->SetDWORD(kSetDiskLimitMb, 10), plat::S_OK);
  ASSERT_EQ(recorder_->Start(), plat::S_OK);
  sink_->clear();
  advance(600);
  EXPECT_EQ(sink_->count(kEvRecordDiskLimit), 1u);
  EXPECT_EQ(sink_->count(kEvRecordStopped), 1u);
}

TEST_F(EngineTest, TimeShiftLengthPositionAndSeek) {
  openLive();
  tokyoLineUp();
  channels_->SelectByIndex(1);
  auto ts = mcQuery<IZantTimeShift>(player_.get());
  auto settings = mcQuery<IZantPlayerSettings>(player_.get());
  ASSERT_TRUE(ts && settings);
  settings->SetString(kSetTimeShiftPath, u"\\nowhere");
  EXPECT_EQ(ts->Start(0), plat::E_FOLDER_MISSING);
  settings->SetString(kSetTimeShiftPath, folder("ts").c_str());
  settings->SetDWORD(kSetTimeShiftSeconds, 20);
  player_->Run(0);
  ASSERT_EQ(ts->Start(0), plat::S_OK);
  advance(10000, 1000);
  uint32_t length = 0, pos = 99;
  ZantTime rec{};
  ASSERT_EQ(ts->GetLength(&rec, &length), plat::S_OK);
  EXPECT_EQ(length, 10000u);
  EXPECT_EQ(ms(rec), 10000u);
  ts->GetPosition(nullptr, &pos);
  EXPECT_EQ(pos, 0u);  // live
  player_->Pause();
  advance(3000, 1000);
  ts->GetPosition(nullptr, &pos);
  EXPECT_EQ(pos, 3000u);
  ASSERT_EQ(ts->Seek(0, 1000), plat::S_OK);
  player_->Run(0);
  advance(2000, 1000);
  ts->GetPosition(nullptr, &pos);
  EXPECT_EQ(pos, 1000u);  // running keeps the distance behind live
  EXPECT_EQ(ts->Seek(1, 0), plat::E_INVALIDARG);
  advance(20000, 1000);
  ts->GetLength(nullptr, &length);
  EXPECT_EQ(length, 20000u);  // the buffer holds setting 22's seconds
  ASSERT_EQ(ts->Stop(), plat::S_OK);
  EXPECT_EQ(ts->GetLength(nullptr, &length), plat::E_FAIL);
}

TEST_F(EngineTest, SnapshotWritesABitmapFile) {
  openLive();
  tokyoLineUp();
  channels_->SelectByIndex(1);
  auto snap = mcQuery<IZantSnapshot>(player_.get());
  auto settings = mcQuery<IZantPlayerSettings>(player_.get());
  settings->SetString(kSetSnapshotPath, u"\\nowhere");
  player_->Run(0);
  EXPECT_EQ(snap->Take(1), plat::E_FOLDER_MISSING);
  settings->SetString(kSetSnapshotPath, folder("Snap").c_str());
  ASSERT_EQ(snap->Take(1), plat::S_OK);
  ASSERT_EQ(snap->Take(1), plat::S_OK);  // a second one gets its own name
  char16_t name[260];
  ASSERT_EQ(snap->GetLastFile(name, 260), plat::S_OK);
  auto host = plat::toHostPath(std::u16string(name));
  ASSERT_TRUE(host);
  std::ifstream in(*host, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(bytes.size(), 54u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  uint32_t fileSize = 0, width = 0, height = 0;
  std::memcpy(&fileSize, bytes.data() + 2, 4);
  std::memcpy(&width, bytes.data() + 18, 4);
  std::memcpy(&height, bytes.data() + 22, 4);
  EXPECT_EQ(fileSize, bytes.size());
  EXPECT_EQ(width, 320u);
  EXPECT_EQ(height, 240u);
  EXPECT_EQ(bytes.size(), 54u + 320u * 3u * 240u);
  size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(root_ / "Snap")) files += e.path().extension() == ".bmp";
  EXPECT_EQ(files, 2u);
  EXPECT_EQ(snap->Take(2), plat::E_INVALIDARG);
}

// On the engine thread, events arrive on another thread, and once Disconnect
// has returned the sink hears nothing more, however busy the engine is.
TEST_F(EngineTest, EngineThreadStopsCallingAtDisconnect) {
  std::atomic<bool> connected{true};
  std::atomic<int> late{0};
  std::atomic<int> calls{0};
  std::atomic<bool> otherThread{false};
  const std::thread::id self = std::this_thread::get_id();
  plat::Event first(plat::Event::Reset::Manual);
  // The hook is in place before the engine thread may call the sink.
  sink_->hook = [&](uint32_t, uintptr_t, uintptr_t) {
    calls++;
    first.set();
    if (std::this_thread::get_id() != self) otherThread = true;
    if (!connected.load()) late++;
  };
  ASSERT_EQ(control_->SetEventThreading(1), plat::S_OK);
  openLive();
  tokyoLineUp();
  channels_->SelectByIndex(1);
  for (int i = 0; i < 200; ++i) control_->ScriptEvent(0, kEvSignalChanged, 3, 60);
  for (int i = 0; i < 50; ++i) control_->SetSignalLevel(i % 2 ? 80 : 60);
  ASSERT_TRUE(first.wait(10000));
  ASSERT_EQ(player_->Disconnect(nullptr, sink_->sink()), plat::S_OK);
  connected = false;
  for (int i = 0; i < 50; ++i) control_->SetSignalLevel(i % 2 ? 80 : 60);
  // Let the engine run everything it has.
  plat::Event done(plat::Event::Reset::Manual);
  auto marker = McPtr<RecordingSink>::adopt(new RecordingSink());
  marker->hook = [&](uint32_t code, uintptr_t, uintptr_t) {
    if (code == kEvApplicationShow) done.set();
  };
  player_->Connect(nullptr, marker->sink());
  control_->ScriptEvent(0, kEvApplicationShow, 0, 0);
  ASSERT_TRUE(done.wait(10000));
  player_->Disconnect(nullptr, marker->sink());
  EXPECT_EQ(late, 0);
  EXPECT_GT(calls, 0);
  EXPECT_TRUE(otherThread);
  ASSERT_EQ(control_->SetEventThreading(0), plat::S_OK);
}

TEST_F(EngineTest, CloseSourceDeliversEverythingBeforeReturning) {
  ASSERT_EQ(control_->SetEventThreading(1), plat::S_OK);
  openLive();
  tokyoLineUp();
  for (int i = 0; i < 100; ++i) channels_->SelectByIndex(i % 10);
  ASSERT_EQ(player_->CloseSource(), plat::S_OK);
  auto codes = sink_->codes();
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.back(), kEvStateChanged);
  EXPECT_EQ(sink_->events().back().p1, static_cast<uintptr_t>(kStateClosed));
  size_t seen = codes.size();
  control_->ScriptEvent(0, kEvApplicationShow, 0, 0);  // nobody has a source: goes nowhere
  ASSERT_EQ(control_->SetEventThreading(0), plat::S_OK);
  EXPECT_EQ(sink_->codes().size(), seen);
}

TEST_F(EngineTest, PlayerReleasedWithASourceOpenClosesCleanly) {
  openLive();
  tokyoLineUp();
  channels_->SelectByIndex(1);
  player_->Run(0);
  auto settings = mcQuery<IZantPlayerSettings>(player_.get());
  settings->SetString(kSetRecordPath, folder("Recorder").c_str());
  ASSERT_EQ(mcQuery<IZantRecorder>(player_.get())->Start(), plat::S_OK);
  settings.reset();
  player_.reset();  // the streams object still holds the core
  uint32_t n = 0;
  EXPECT_EQ(channels_->GetCount(&n), plat::S_OK);
  EXPECT_EQ(n, 0u);  // no source any more
  advance(2000);
}

}  // namespace
}  // namespace enginetest
