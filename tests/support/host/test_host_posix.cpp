#include "support/host/test_host.hpp"

#include <signal.h>

#include <cerrno>

namespace orvo::test {

bool process_exists(int pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

}  // namespace orvo::test
