// Makes a folder this process's working folder for the length of a test and
// puts the old one back afterwards, so that relative paths can be tested.
#pragma once

#include <filesystem>

namespace orvo::test {

class ScopedWorkingFolder {
 public:
  explicit ScopedWorkingFolder(const std::filesystem::path& folder);
  ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
  ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;
  ~ScopedWorkingFolder();

 private:
  std::filesystem::path saved_;
};

}  // namespace orvo::test
