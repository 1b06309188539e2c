// The test host program (tests/support/test_host) as tests use it: its bytes,
// its behaviour file, and the process id it reports once its window exists.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "support/fs/temp_dir.hpp"

namespace orvo::test {

inline constexpr std::string_view kHostBehaviourFile = "host-behaviour.txt";

// A fresh folder holding the test host as "ORVO.Host.exe" and its behaviour file.
struct HostFolder {
  TempDir dir;
  std::filesystem::path program = dir / "ORVO.Host.exe";

  explicit HostFolder(std::string_view behaviour);
};

// The whole test host program, read once.
const std::string& test_host_bytes();

// The process id the host wrote to ready_file, waiting up to 300 s for it;
// nothing when it never came.
std::optional<int> wait_for_ready_file(const std::filesystem::path& ready_file);

// Whether a process with this id still exists (a reaped child does not).
bool process_exists(int pid);

// Ends the process with this id (a child of the test's, on POSIX) and waits for its end.
void end_process_by_id(int pid);

}  // namespace orvo::test
