// What the hashing and entry guard tests of both systems share: the outcomes
// they compare, and the rows of the guards' tables that only one system has
// (links, FIFOs, sockets, the system's own error texts). Each system's test
// file gives its rows; the shared file runs them with its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/cache/installed_files.hpp"
#include "outcome.hpp"

namespace orvo::core {

inline constexpr std::uint64_t kGiB = 1024 * 1024 * 1024;

inline std::string outcome_of(const Result<HashedFile>& hashed) {
  if (!hashed) return hashed.error().chain_text();
  return std::to_string(hashed->size) + " " + hashed->sha256;
}

struct EntryCase {
  const char* name;
  // Makes the entry at the path; nullptr leaves nothing there.
  std::function<void(const std::filesystem::path&)> make;
  std::string regular_file;  // outcome of require_regular_file ("ok" or the error)
  std::string plain_folder;  // outcome of require_plain_folder
};

std::string not_a_file(const std::filesystem::path& path);
std::string not_a_folder(const std::filesystem::path& path);

// dir holds a file "target" and a folder "folder"; the entry is made at dir / "entry".
std::vector<EntryCase> system_guard_cases(const std::filesystem::path& dir);
// What may take the place of the plain file dir / "entry" before it is opened.
std::vector<EntryCase> system_opening_cases(const std::filesystem::path& dir);

}  // namespace orvo::core
