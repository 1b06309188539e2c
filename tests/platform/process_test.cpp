#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/process.hpp"

extern char** environ;

namespace orvo::platform {
namespace {

TEST(ProcessTest, DroppingReleasesTheHandleAndLeavesTheProcessRunning) {
  pid_t pid = 0;
  char sleep_path[] = "/bin/sleep";
  char seconds[] = "30";
  char* argv[] = {sleep_path, seconds, nullptr};
  ASSERT_EQ(::posix_spawn(&pid, sleep_path, nullptr, nullptr, argv, environ), 0);
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  ASSERT_GE(pidfd, 0);

  {
    Process owner(ProcessHandles{.pid = pid, .pidfd = UniqueHandle<ChildPidfdTraits>(pidfd)});
    Process moved = std::move(owner);
    EXPECT_FALSE(owner.valid());
    EXPECT_TRUE(moved.valid());
    EXPECT_EQ(moved.handles().pid, pid);
  }
  EXPECT_EQ(::fcntl(pidfd, F_GETFD), -1) << "the pidfd was closed";
  EXPECT_EQ(::kill(pid, 0), 0) << "the process still runs";

  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
}

}  // namespace
}  // namespace orvo::platform
