// System calls made to fail, or to end the process as a crash would, on one
// thread only: for tests of what a failure or a crash at that call leaves on disk.
#pragma once

#include <functional>

namespace orvo::test {

enum class SystemCall {
  Write,       // writing to a file
  ChangeMode,  // setting a file's permission bits
  Lock,        // locking a file, as on a file system without locks
};

// Runs body on a thread of its own on which every call of that kind fails
// with "Operation not permitted".
void run_with_failing_call(SystemCall call, const std::function<void()>& body);

// From now on, the calling thread's first call of that kind ends the whole
// process at once, as a crash there would. For the statement of a death test.
void crash_at_call(SystemCall call);

// Whether a child's wait status says it ended at such a call.
bool crashed_at_call(int wait_status);

}  // namespace orvo::test
