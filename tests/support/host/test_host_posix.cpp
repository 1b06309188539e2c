#include "support/host/test_host.hpp"

#include <signal.h>
#include <sys/wait.h>

#include <cerrno>

namespace orvo::test {

bool process_exists(int pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

void end_process_by_id(int pid) {
  ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace orvo::test
