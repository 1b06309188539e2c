#include <filesystem>
#include <fstream>
#include <system_error>

#include "support/net/thread_names.hpp"

namespace orvo::test {

std::vector<std::string> thread_names() {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ignored)) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace orvo::test
