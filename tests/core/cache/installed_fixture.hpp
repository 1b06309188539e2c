// The installed-copy check's fixture, shared by the cases of both systems: a
// version folder beside a correct copy of its release, and the table of
// verdicts that each system's test file fills with its own rows.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/cache/installed_files.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"

namespace orvo::core {

inline const std::vector<test::ReleaseFile> kRelease = {
    {"ORVO.Host.exe", "host"},
    {"bin/a.dll", "library"},
    {"data/sub/x.bin", "data"},
    {"empty.txt", ""},
};

// A version folder holding the release, its envelope and its working marker,
// beside a correct copy of the release for links to point at.
struct Installed {
  test::TempDir dir;
  std::filesystem::path folder = dir / "version";
  std::filesystem::path copy = dir / "copy";
  std::vector<ManifestFile> files = test::manifest_of(kRelease).files;
  // What is held over the folders' entries (bind mounts), undone before the folders go.
  std::vector<std::shared_ptr<void>> held;

  Installed() {
    test::write_release_folder(folder, kRelease);
    test::write_release_folder(copy, kRelease);
    test::write_file(folder / ".orvo-manifest.json", "{}");
    test::write_file(folder / ".orvo-working", "ok");
  }

  std::string verify(const CancelFlag& cancel = CancelFlag()) const {
    auto verified = verify_installed_files(folder, files, cancel);
    return verified ? "ok" : verified.error().chain_text();
  }
};

struct Case {
  const char* name;
  std::function<void(Installed&)> alter;
  std::string expected;  // "{folder}" stands for the version folder's path
};

inline void replace_with_file(const std::filesystem::path& path, std::string_view content) {
  std::filesystem::remove_all(path);
  test::write_file(path, content);
}

inline void replace_with_folder(const std::filesystem::path& path) {
  std::filesystem::remove_all(path);
  std::filesystem::create_directory(path);
}

// Every entry below dir, not following links, with its kind and a file's content.
inline std::map<std::string, std::string> snapshot(const std::filesystem::path& dir) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    const std::filesystem::file_status status = entry.symlink_status();
    std::string description = std::to_string(static_cast<int>(status.type()));
    if (std::filesystem::is_regular_file(status)) description += " " + test::read_file(entry.path());
    entries[entry.path().string()] = description;
  }
  return entries;
}

inline void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class VerifyInstalledFiles : public testing::TestWithParam<Case> {};

}  // namespace orvo::core
