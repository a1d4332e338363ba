// Windows across processes: this test program starts itself again as a
// second process that plays the running player ("CPWINDOW" titled "Tunora");
// the first finds it, sends to it (with a nested send back), broadcasts a
// registered message and closes it.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "plat/message.h"
#include "plat/window.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace plat;

constexpr char kChildFlag[] = "TUNORA_PEER_TEST_CHILD";
constexpr char kPingName[] = "PeerTestPing";

int runChild() {
  if (!publishWindows()) return 2;
  uint32_t ping = registerMessage(kPingName);
  registerClass({u"CPWINDOW", 0,
                 [ping](Window w, uint32_t m, WParam wp, LParam lp) -> LResult {
                   if (m == kMsgUser + 211) return static_cast<LResult>(wp * 2);
                   if (m == kMsgUser + 212) {
                     // A send back into the process that is waiting on us.
                     Window parent = findWindow(u"PeerParentWnd", u"Parent");
                     return sendMessage(parent, kMsgUser + 6, 0, 0) + 1;
                   }
                   if (m == ping) postMessage(findWindow(u"PeerParentWnd", u"Parent"), kMsgUser + 5, wp, 0);
                   if (m == kMsgTimer && getppid() == 1) destroyWindow(w);  // the parent is gone
                   if (m == kMsgDestroy) postQuitMessage(0);
                   return defaultWindowProc(w, m, wp, lp);
                 },
                 {}});
  CreateWindowParams params;
  params.className = u"CPWINDOW";
  params.title = u"Tunora";
  params.style = kStyleVisible;
  Window w = createWindow(params);
  if (!w) return 3;
  setTimer(w, 1, 200);
  Message msg;
  while (getMessage(&msg)) dispatchMessage(msg);
  unpublishWindows();
  return 0;
}

// Pumps until done() or a generous deadline (the other process has to start).
template <typename Done>
bool pumpUntil(Done done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pumpPendingMessages();
    usleep(1000);
  }
  return true;
}

TEST(WindowPeer, FindSendBroadcastAndCloseAcrossProcesses) {
  fs::path dir = fs::temp_directory_path() / ("tunora_peer_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  setenv("TUNORA_WINDOW_PEER_DIR", dir.c_str(), 1);
  ASSERT_TRUE(publishWindows());
  uint32_t ping = registerMessage(kPingName);

  std::vector<WParam> pings;
  registerClass({u"PeerParentWnd", 0,
                 [&](Window w, uint32_t m, WParam wp, LParam lp) -> LResult {
                   if (m == kMsgUser + 5) pings.push_back(wp);
                   if (m == kMsgUser + 6) return 7;
                   return defaultWindowProc(w, m, wp, lp);
                 },
                 {}});
  CreateWindowParams params;
  params.className = u"PeerParentWnd";
  params.title = u"Parent";
  Window parent = createWindow(params);
  ASSERT_TRUE(parent);

  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string flag = std::string(kChildFlag) + "=1";
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  env.push_back(flag.data());
  env.push_back(nullptr);
  char* argv[] = {self.data(), nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, env.data()), 0);

  Window running;
  ASSERT_TRUE(pumpUntil([&] { return bool(running = findWindow(u"cpwindow", u"Tunora")); }));
  EXPECT_FALSE(windowExists(running));  // it stands for a window elsewhere
  EXPECT_EQ(sendMessage(running, kMsgUser + 211, 21, 0), 42);
  EXPECT_EQ(sendMessage(running, kMsgUser + 212, 0, 0), 8);

  broadcastMessage(ping, 99, 0);
  EXPECT_TRUE(pumpUntil([&] { return !pings.empty(); }));
  ASSERT_EQ(pings.size(), 1u);
  EXPECT_EQ(pings[0], 99u);  // the child heard the same registered number

  EXPECT_TRUE(postMessage(running, kMsgClose, 0, 0));
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(findWindow(u"CPWINDOW", u"Tunora"));
  EXPECT_EQ(sendMessage(running, kMsgUser + 211, 21, 0), 0);

  destroyWindow(parent);
  unpublishWindows();
  fs::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv(kChildFlag)) return runChild();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
