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

struct ChildGroup::Child {
  pid_t pid = -1;
  bool reaped = false;
};

ChildGroup::ChildGroup(const std::filesystem::path& program, const std::vector<std::string>& args)
    : child_(std::make_unique<Child>()) {
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
    child_->reaped = true;
    return;
  }
  child_->pid = pid;
}

ChildGroup::~ChildGroup() { kill(); }

bool ChildGroup::exited() {
  if (child_->pid <= 0) return true;
  int status = 0;
  if (waitpid(child_->pid, &status, WNOHANG) != child_->pid) return false;
  child_->reaped = true;
  kill();  // what the child started may still run
  return true;
}

void ChildGroup::kill() {
  if (child_->pid <= 0) return;
  // The group outlives a reaped leader while a member runs; its id stays reserved until then.
  ::kill(-child_->pid, SIGKILL);
  if (!child_->reaped) {
    int status = 0;
    while (waitpid(child_->pid, &status, 0) < 0 && errno == EINTR) {
    }
    child_->reaped = true;
  }
  child_->pid = -1;
}

}  // namespace orvo::test
