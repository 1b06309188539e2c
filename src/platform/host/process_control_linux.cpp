#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/host/process_control.hpp"
#include "platform/os_error.hpp"

extern char** environ;

namespace orvo::platform {
namespace {

// Owns spawn file actions for the duration of one start.
class SpawnActions {
 public:
  SpawnActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  ~SpawnActions() {
    if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
  }
  bool ok() const { return ok_; }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
  bool ok_ = false;
};

std::uint32_t exit_code_of(const siginfo_t& info) {
  if (info.si_code == CLD_EXITED) return static_cast<std::uint32_t>(info.si_status);
  return 128U + static_cast<std::uint32_t>(info.si_status);
}

// Reads the ended state without reaping, so that the exit code stays readable
// until the owner lets go of the process (which then reaps it).
core::Result<std::optional<std::uint32_t>> wait_state(const Process& process, int flags) {
  for (;;) {
    siginfo_t info{};
    if (::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(process.handles().pidfd.get()), &info,
                 WEXITED | WNOWAIT | flags) == 0) {
      if (info.si_pid == 0) return std::nullopt;
      return exit_code_of(info);
    }
    if (errno != EINTR) return std::unexpected(last_os_error());
  }
}

}  // namespace

core::Result<Process> start_process(const std::filesystem::path& program,
                                    const std::filesystem::path& working_folder) {
  SpawnActions actions;
  if (!actions.ok()) return std::unexpected(last_os_error());
  if (const int failed =
          ::posix_spawn_file_actions_addchdir_np(actions.get(), working_folder.c_str());
      failed != 0) {
    return std::unexpected(os_error(failed));
  }
  // Not every library marks its descriptors close-on-exec (curl's sockets and
  // wake-up pipes, for one); the host gets the standard three and nothing else.
  if (const int failed = ::posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);
      failed != 0) {
    return std::unexpected(os_error(failed));
  }
  // The child enters working_folder before it looks the program up.
  std::error_code unresolved;
  const std::filesystem::path absolute = std::filesystem::absolute(program, unresolved);
  if (unresolved) return std::unexpected(os_error(unresolved.value()));
  std::string name = absolute.string();
  char* argv[] = {name.data(), nullptr};
  pid_t pid = -1;
  if (const int failed =
          ::posix_spawn(&pid, absolute.c_str(), actions.get(), nullptr, argv, environ);
      failed != 0) {
    return std::unexpected(os_error(failed));
  }
  // The child cannot be reaped by anyone but us, so its id still names it here.
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (pidfd < 0) {
    const core::Error error = last_os_error();
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return std::unexpected(error);
  }
  return Process(ProcessHandles{.pid = pid, .pidfd = UniqueHandle<ChildPidfdTraits>(pidfd)});
}

std::uint32_t process_id(const Process& process) {
  return static_cast<std::uint32_t>(process.handles().pid);
}

core::Result<std::optional<std::uint32_t>> exit_code_if_ended(const Process& process) {
  return wait_state(process, WNOHANG);
}

core::Result<void> end_process(const Process& process, std::uint32_t /*exit_code*/) {
  if (::syscall(SYS_pidfd_send_signal, process.handles().pidfd.get(), SIGKILL, nullptr, 0) != 0) {
    return std::unexpected(last_os_error());
  }
  return {};
}

core::Result<std::uint32_t> wait_for_exit(const Process& process) {
  auto state = wait_state(process, 0);
  if (!state) return std::unexpected(std::move(state.error()));
  return state->value_or(0);
}

}  // namespace orvo::platform
