// Holds the lock on "launcher.log" in its working folder until it is ended, as
// a stuck launcher or another program that locks the log would. Once it holds
// the lock it writes its process id to "lock-held".
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "platform/file_lock.hpp"
#include "platform/fs.hpp"

#ifdef _WIN32
#include <process.h>
#define orvo_getpid _getpid
#else
#include <unistd.h>
#define orvo_getpid getpid
#endif

int main() {
  auto log = orvo::platform::File::open_append("launcher.log");
  if (!log) return 2;
  auto lock = orvo::platform::FileLock::try_acquire(*log);
  if (!lock || !*lock) return 3;
  // Renamed into place whole, so that the reader never sees half a number.
  std::ofstream("lock-held.part") << orvo_getpid();
  if (std::rename("lock-held.part", "lock-held") != 0) return 4;
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}
