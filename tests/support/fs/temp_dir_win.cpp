#include "support/fs/temp_dir.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/win32.hpp"

namespace orvo::test {

TempDir::TempDir() {
  // Parallel test processes share the temporary folder: the process id and a
  // counter keep their names apart, CreateDirectoryW refuses a name in use.
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::filesystem::path candidate =
        base / ("orvo-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(counter.fetch_add(1)));
    if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may mark files read-only; take that away so everything can go.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    const DWORD attributes = ::GetFileAttributesW(it->path().c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      ::SetFileAttributesW(it->path().c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
  }
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace orvo::test
