// The folder in which one attempt prepares a downloaded release: a new folder
// ".staging-" plus six random letters or digits directly in the cache root,
// holding the package "host.zip" and the extraction folder "content". It is
// deleted with whatever is still in it when its owner goes away; after an
// activation "content" has already moved away as the version folder.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "base/error.hpp"

namespace orvo::core {

inline constexpr std::string_view kStagingPrefix = ".staging-";
inline constexpr std::size_t kStagingNameLetters = 6;
// Names drawn before a folder whose every name was taken is given up.
inline constexpr std::size_t kStagingNameDraws = 16;

// Gives the letters that follow the prefix in one draw.
using StagingNameDraw = std::function<Result<std::string>()>;

class StagingFolder {
 public:
  // Makes a new, uniquely named folder with random letters and digits; a name
  // that is taken (by a folder left behind, or another attempt's) is drawn
  // again, and an existing entry is never reused.
  static Result<StagingFolder> create(const std::filesystem::path& cache_root);
  // The same with the names that draw_name gives.
  static Result<StagingFolder> create(const std::filesystem::path& cache_root,
                                      const StagingNameDraw& draw_name);

  StagingFolder(StagingFolder&& other) noexcept;
  StagingFolder& operator=(StagingFolder&& other) noexcept;
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  // Deletion errors are ignored: a leftover folder is never reused by anyone.
  ~StagingFolder();

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path package() const { return path_ / "host.zip"; }
  std::filesystem::path content() const { return path_ / "content"; }

 private:
  explicit StagingFolder(std::filesystem::path path) : path_(std::move(path)) {}

  std::filesystem::path path_;
};

// count characters drawn evenly from A-Z, a-z and 0-9 by the
// system's random number generator.
Result<std::string> random_letters_and_digits(std::size_t count);

}  // namespace orvo::core
