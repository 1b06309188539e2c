#include "support/fs/temp_dir.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <system_error>

namespace orvo::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvo-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may take away permissions; give them back so everything can go.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace orvo::test
