// The rows of the cache files' tables that only one system has: links, FIFOs,
// permission bits and the system's own error texts. Each system's test file
// gives its rows; the shared file runs them with its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace orvo::core {

struct EnsureCase {
  const char* name;
  // Prepares the temporary folder and gives the cache root to use.
  std::function<std::filesystem::path(const std::filesystem::path& dir)> setup;
  std::string expected;
};

struct ReadCase {
  const char* name;
  // Prepares the temporary folder and gives the path to read.
  std::function<std::filesystem::path(const std::filesystem::path& dir)> setup;
  std::uint64_t limit;
  std::string expected;  // "read <content>" or the error
};

struct WriteCase {
  const char* name;
  std::function<void(const std::filesystem::path& target)> setup;
  std::string expected;
  const char* file_content_after;  // nullptr: no plain file there afterwards
};

extern const std::string kLinkError;

std::vector<EnsureCase> system_ensure_cases();
// not_a_file is the refusal of the entry that the read cases prepare.
std::vector<ReadCase> system_read_cases(const std::string& not_a_file);
std::vector<WriteCase> system_write_new_cases();
std::vector<WriteCase> system_replace_cases();
// The error of a write into a folder that does not exist, as the system words it.
std::string missing_folder_text();

}  // namespace orvo::core
