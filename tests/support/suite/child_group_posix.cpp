#include "support/suite/child_group.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

#include "support/suite/argument_vector.hpp"

extern char** environ;

namespace orvo::test {

ChildGroup::ChildGroup(const std::filesystem::path& program, const std::vector<std::string>& args) {
  const ArgumentVector argv(program, args);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = -1;
  const int started =
      posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.get(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) {
    ADD_FAILURE() << "cannot start " << program << ": " << std::strerror(started);
    reaped_ = true;
    return;
  }
  pid_ = pid;
}

ChildGroup::~ChildGroup() { kill(); }

bool ChildGroup::exited() {
  if (pid_ <= 0) return true;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
  reaped_ = true;
  kill();  // what the child started may still run
  return true;
}

void ChildGroup::kill() {
  if (pid_ <= 0) return;
  // The group outlives a reaped leader while a member runs; its id stays reserved until then.
  ::kill(-pid_, SIGKILL);
  if (!reaped_) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
  }
  pid_ = -1;
}

}  // namespace orvo::test
