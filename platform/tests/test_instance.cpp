// Single-instance lock across processes.
#include "plat/instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Runs body in a forked child and returns its exit status (or -1).
template <typename F>
int inChild(F body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

class SingleInstance : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    if (old) savedRuntime_ = old;
    hadRuntime_ = old != nullptr;
    runtimeDir_ = std::filesystem::temp_directory_path() / ("tunora-instance-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(runtimeDir_);
    setenv("XDG_RUNTIME_DIR", runtimeDir_.c_str(), 1);
    name_ = "Norvale Mobile Player " + std::to_string(getpid());
  }
  void TearDown() override {
    if (hadRuntime_)
      setenv("XDG_RUNTIME_DIR", savedRuntime_.c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
    std::filesystem::remove_all(runtimeDir_);
  }

  std::filesystem::path runtimeDir_;
  std::string name_;
  std::string savedRuntime_;
  bool hadRuntime_ = false;
};

TEST_F(SingleInstance, SecondProcessIsRefusedUntilFirstReleases) {
  {
    plat::SingleInstanceLock first(name_);
    ASSERT_TRUE(first.held());
    EXPECT_EQ(std::filesystem::path(first.lockPath()).parent_path(), runtimeDir_);
    EXPECT_EQ(inChild([&] { return plat::SingleInstanceLock(name_).held() ? 1 : 0; }), 0);
    // A different name is a different lock.
    EXPECT_EQ(inChild([&] { return plat::SingleInstanceLock(name_ + "x").held() ? 1 : 0; }), 1);
  }
  EXPECT_EQ(inChild([&] { return plat::SingleInstanceLock(name_).held() ? 1 : 0; }), 1);
}

TEST_F(SingleInstance, LockDiesWithItsProcess) {
  int ready[2], finish[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(finish), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    plat::SingleInstanceLock lock(name_);
    const char held = lock.held() ? 'y' : 'n';
    (void)!write(ready[1], &held, 1);
    char c;
    (void)!read(finish[0], &c, 1);  // killed while waiting here
    _exit(0);
  }
  char held = 0;
  ASSERT_EQ(read(ready[0], &held, 1), 1);
  EXPECT_EQ(held, 'y');
  EXPECT_FALSE(plat::SingleInstanceLock(name_).held());
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(plat::SingleInstanceLock(name_).held());
  for (int fd : {ready[0], ready[1], finish[0], finish[1]}) close(fd);
}

TEST_F(SingleInstance, NamesWithSeparatorsStayInTheDirectory) {
  plat::SingleInstanceLock a("../evil/name");
  plat::SingleInstanceLock b("..%2Fevil%2Fname");
  ASSERT_TRUE(a.held());
  ASSERT_TRUE(b.held());  // escaping keeps different names apart
  EXPECT_NE(a.lockPath(), b.lockPath());
  EXPECT_EQ(std::filesystem::path(a.lockPath()).parent_path(), runtimeDir_);
  EXPECT_TRUE(std::filesystem::exists(a.lockPath()));
}

TEST_F(SingleInstance, FallsBackToPrivateTmpFolder) {
  unsetenv("XDG_RUNTIME_DIR");
  plat::SingleInstanceLock lock(name_);
  ASSERT_TRUE(lock.held());
  const std::filesystem::path dir = "/tmp/tunora-" + std::to_string(getuid());
  EXPECT_EQ(std::filesystem::path(lock.lockPath()).parent_path(), dir);
  struct stat st {};
  ASSERT_EQ(stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u);
  EXPECT_EQ(inChild([&] { return plat::SingleInstanceLock(name_).held() ? 1 : 0; }), 0);
  std::filesystem::remove(lock.lockPath());
}

}  // namespace
