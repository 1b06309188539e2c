#include "support/suite/run_program.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

#include "support/fs/temp_dir.hpp"
#include "support/suite/argument_vector.hpp"

extern char** environ;

namespace orvo::test {

ProgramOutput run_program(const std::filesystem::path& program,
                          const std::vector<std::string>& args) {
  TempDir capture;
  const std::string out_path = capture / "out";
  const std::string err_path = capture / "err";

  const ArgumentVector argv(program, args);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = -1;
  const int started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.get(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ProgramOutput output;
  if (started != 0) {
    ADD_FAILURE() << "cannot start " << program << ": " << std::strerror(started);
    return output;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) output.exit_code = WEXITSTATUS(status);
  output.out = read_file(out_path);
  output.err = read_file(err_path);
  return output;
}

}  // namespace orvo::test
