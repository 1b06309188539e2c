#include "support/host/test_host.hpp"

#include <chrono>
#include <fstream>
#include <thread>

#include "support/fs/temp_dir.hpp"

namespace orvo::test {

HostFolder::HostFolder(std::string_view behaviour) {
  std::filesystem::copy_file(ORVO_TEST_HOST, program);
  write_file(dir / kHostBehaviourFile, behaviour);
}

const std::string& test_host_bytes() {
  static const std::string bytes = read_file(ORVO_TEST_HOST);
  return bytes;
}

std::optional<int> wait_for_ready_file(const std::filesystem::path& ready_file) {
  // A host shows its window in well under a second when the machine is
  // idle, and may need many times that on one core shared by sixteen tests.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream file(ready_file);
    int pid = 0;
    if (file >> pid) return pid;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return std::nullopt;
}

}  // namespace orvo::test
