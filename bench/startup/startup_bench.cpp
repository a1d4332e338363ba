// Times `Tunora --headless --screenshot` from process start until it reports
// the written frame of its main window (the splash, the device collection by
// the simulated engine and the main window's first paint lie in between), and
// reads the child's peak resident memory. The first run seeds the stores and
// is reported apart; startup_ms is the median of the runs after it.
//   startup_bench [--quick]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Run {
  double ms = 0;      // start until the frame was reported written
  double rssMb = 0;   // peak resident set of the child
  bool ok = false;
};

Run runOnce(const fs::path& root) {
  const std::string program = (fs::path(TUNORA_PROGRAM_DIR) / "Tunora").string();
  const std::string device = (root / "device").string();
  const std::string shot = (root / "frame.png").string();
  std::vector<std::string> args{program, "--device-root", device, "--headless", "--screenshot", shot};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe(out) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  Run run;
  if (spawned != 0) {
    ::close(out[0]);
    return run;
  }
  std::string text;
  char buf[256];
  ssize_t n;
  double reported = -1;
  while ((n = ::read(out[0], buf, sizeof buf)) > 0) {
    text.append(buf, static_cast<size_t>(n));
    if (reported < 0 && text.find("wrote ") != std::string::npos)
      reported = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  ::close(out[0]);
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  run.ms = reported;
  run.rssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  run.ok = reported >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int runs = quick ? 3 : 11;
  const fs::path root = fs::temp_directory_path() / ("tunora-startup-bench-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "peers");
  fs::create_directories(root / "runtime");
  fs::permissions(root / "peers", fs::perms::owner_all);
  fs::permissions(root / "runtime", fs::perms::owner_all);
  // Apart from any player the user runs, so the single-instance rule does not bite.
  ::setenv("TUNORA_WINDOW_PEER_DIR", (root / "peers").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);

  std::vector<double> ms;
  double cold = 0, peak = 0;
  for (int i = 0; i < runs; ++i) {
    const Run r = runOnce(root);
    if (!r.ok) {
      std::fprintf(stderr, "startup_bench: Tunora did not start and write its frame\n");
      fs::remove_all(root);
      return 1;
    }
    peak = std::max(peak, r.rssMb);
    if (i == 0) cold = r.ms;
    else ms.push_back(r.ms);
  }
  std::sort(ms.begin(), ms.end());
  std::printf("figure startup_ms %.1f ms\n", ms[ms.size() / 2]);
  std::printf("figure startup_cold_ms %.1f ms\n", cold);
  std::printf("figure startup_rss_mb %.1f MB\n", peak);
  fs::remove_all(root);
  return 0;
}
