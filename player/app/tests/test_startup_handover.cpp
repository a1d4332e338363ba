// The single-instance hand-over between real processes: the test plays the
// running instance (it holds the instance lock and owns the "CPWINDOW"
// window) and starts the real program as the second instance; then two real
// instances of the program meet.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/startup/handover.h"
#include "plat/instance.h"
#include "plat/message.h"
#include "plat/window.h"

extern char** environ;

namespace tunora {
namespace {

namespace fs = std::filesystem;

const fs::path kProgram = fs::path(TUNORA_PROGRAM_DIR) / "Tunora";

struct Child {
  pid_t pid = -1;
  int status = -1;
};

Child spawn(const std::vector<std::string>& args, const fs::path& errFile) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  Child c;
  if (posix_spawn(&c.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) c.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return c;
}

// Pumps this process's messages until the child ends (a send from the child
// must be answered meanwhile). The deadline only keeps a broken build from
// hanging; nothing is timed.
bool waitWhilePumping(Child& c) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(c.pid, &c.status, WNOHANG) == c.pid) return true;
    if (plat::pumpPendingMessages() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(c.pid, SIGKILL);
  ::waitpid(c.pid, &c.status, 0);
  return false;
}

std::string readAll(const fs::path& p) {
  std::ifstream in(p);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::vector<std::u16string> g_received;

plat::LResult runningProc(plat::Window w, uint32_t msg, plat::WParam wp, plat::LParam lp) {
  if (msg == kMsgOpenPendingFile) {
    int error = 0;
    auto memory = SharedPathMemory::open(&error);
    g_received.push_back(memory ? memory->read() : u"<no memory>");
    return 0;
  }
  return plat::defaultWindowProc(w, msg, wp, lp);
}

class Handover : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = fs::temp_directory_path() / ("tunora-handover-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "peers");
    fs::create_directories(root_ / "runtime");
    fs::permissions(root_ / "peers", fs::perms::owner_all);
    fs::permissions(root_ / "runtime", fs::perms::owner_all);
    // Both processes meet here and nowhere else, so a player the user runs is untouched.
    ::setenv("TUNORA_WINDOW_PEER_DIR", (root_ / "peers").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
    ASSERT_TRUE(plat::publishWindows());
  }
  static void TearDownTestSuite() {
    plat::unpublishWindows();
    fs::remove_all(root_);
  }
  std::vector<std::string> args(std::vector<std::string> extra) {
    std::vector<std::string> a{kProgram.string(), "--device-root", (root_ / "device").string(), "--headless"};
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  }
  static fs::path root_;
};
fs::path Handover::root_;

TEST_F(Handover, SecondStartHandsItsFileToTheRunningInstance) {
  plat::SingleInstanceLock lock(kInstanceMutexName);
  ASSERT_TRUE(lock.held());
  plat::registerClass(plat::WindowClass{kMainWindowClass, 0, runningProc, {}});
  plat::CreateWindowParams p;
  p.className = kMainWindowClass;
  p.title = kMainWindowTitle;
  p.rect = plat::Rect{0, 0, 800, 480};
  plat::Window running = plat::createWindow(p);
  ASSERT_TRUE(running);

  const std::string longPath = "/Storage Card/" + std::string(300, 'b') + ".ts";
  struct Case {
    std::vector<std::string> extra;
    std::vector<std::u16string> expected;
  };
  const Case cases[] = {
      {{"\"\\Storage Card\\My Movies\\a.ts\""}, {u"\\Storage Card\\My Movies\\a.ts"}},
      {{"\\Storage Card\\b.ts"}, {u"\\Storage Card\\b.ts"}},
      {{longPath}, {plat::utf8ToUtf16(longPath).substr(0, 259)}},
      {{}, {}},  // no file: the second start just ends
  };
  for (const Case& c : cases) {
    g_received.clear();
    Child child = spawn(args(c.extra), root_ / "second.err");
    ASSERT_GT(child.pid, 0);
    ASSERT_TRUE(waitWhilePumping(child)) << readAll(root_ / "second.err");
    EXPECT_TRUE(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0) << readAll(root_ / "second.err");
    EXPECT_EQ(g_received, c.expected);
  }
  plat::destroyWindow(running);
}

TEST_F(Handover, TwoRealInstances) {
  Child first = spawn(args({}), root_ / "first.err");
  ASSERT_GT(first.pid, 0);
  // Wait for the first instance's main window to appear.
  plat::Window running;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!(running = plat::findWindow(kMainWindowClass, kMainWindowTitle)) &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(running) << readAll(root_ / "first.err");

  Child second = spawn(args({"\"\\Storage Card\\handed.ts\""}), root_ / "second.err");
  ASSERT_TRUE(waitWhilePumping(second));
  EXPECT_TRUE(WIFEXITED(second.status) && WEXITSTATUS(second.status) == 0) << readAll(root_ / "second.err");

  plat::postMessage(running, plat::kMsgClose);
  ASSERT_TRUE(waitWhilePumping(first));
  EXPECT_TRUE(WIFEXITED(first.status) && WEXITSTATUS(first.status) == 0);
  EXPECT_NE(readAll(root_ / "first.err").find("open file \\Storage Card\\handed.ts"), std::string::npos)
      << readAll(root_ / "first.err");
}

}  // namespace
}  // namespace tunora
