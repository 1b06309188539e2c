#include "support/fs/failing_calls.hpp"

#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <thread>
#include <vector>

namespace orvo::test {
namespace {

#if defined(__x86_64__)
constexpr std::uint32_t kArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t kArchitecture = AUDIT_ARCH_AARCH64;
#else
#error "no seccomp architecture for this processor"
#endif

std::vector<long> numbers_of(SystemCall call) {
  switch (call) {
    case SystemCall::Write:
      return {SYS_write, SYS_writev, SYS_pwrite64, SYS_pwritev};
    case SystemCall::ChangeMode:
      return {
#ifdef SYS_chmod
          SYS_chmod,
#endif
          SYS_fchmod, SYS_fchmodat,
#ifdef SYS_fchmodat2
          SYS_fchmodat2,
#endif
      };
    case SystemCall::Lock:
      return {SYS_flock};
  }
  return {};
}

// A filter for the calling thread (and threads it starts later): the calls of
// that kind get the action, every other call is allowed.
void install_filter(SystemCall call, std::uint32_t action) {
  const std::vector<long> numbers = numbers_of(call);
  std::vector<sock_filter> program = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArchitecture, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
  };
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    // Jumps to the action at the end on a match.
    const auto to_action = static_cast<unsigned char>(numbers.size() - i);
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(numbers[i]),
                               to_action, 0));
  }
  program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
  program.push_back(BPF_STMT(BPF_RET | BPF_K, action));
  const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
  ASSERT_EQ(::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0), 0) << std::strerror(errno);
  // The raw system call, without the flag that would extend it to every thread.
  ASSERT_EQ(::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter), 0)
      << std::strerror(errno);
}

}  // namespace

void run_with_failing_call(SystemCall call, const std::function<void()>& body) {
  std::thread thread([&] {
    install_filter(call, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA));
    if (testing::Test::HasFatalFailure()) return;
    body();
  });
  thread.join();
}

void crash_at_call(SystemCall call) { install_filter(call, SECCOMP_RET_KILL_PROCESS); }

bool crashed_at_call(int wait_status) {
  return WIFSIGNALED(wait_status) && WTERMSIG(wait_status) == SIGSYS;
}

}  // namespace orvo::test
