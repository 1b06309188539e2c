// The versions folder's path checks and the guarded reading and writing of the
// launcher's small files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <functional>
#include <string>
#include <vector>

#include "cache_files_cases.hpp"
#include "core/cache/plain_files.hpp"
#include "core/cache/versions_cache.hpp"
#include "outcome.hpp"
#include "support/fs/special_files.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"

namespace orvo::core {

const std::string kLinkError = "Application cache path contains a link or non-directory";

namespace {

namespace fs = std::filesystem;
using test::bytes_of;

std::string outcome_of(const Result<std::vector<std::byte>>& bytes) {
  if (!bytes) return bytes.error().chain_text();
  return "read " + std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size());
}

TEST(EnsureVersionsFolder, MakesTheFolderOnlyOnAPathOfPlainFolders) {
  std::vector<EnsureCase> cases = {
      {"missing cache root and its parent",
       [](const fs::path& d) { return d / "ORVO/HostLauncher"; }, "ok"},
      {"existing versions folder",
       [](const fs::path& d) {
         fs::create_directories(d / "root/versions");
         return d / "root";
       },
       "ok"},
      {"cache root with a trailing separator", [](const fs::path& d) { return d / "root" / ""; },
       "ok"},
      {"cache root below a file",
       [](const fs::path& d) {
         test::write_file(d / "file", "");
         return d / "file/root";
       },
       kLinkError},
  };
  std::ranges::copy(system_ensure_cases(), std::back_inserter(cases));
  for (const EnsureCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    test::run_bound_by_permissions([&] {
      const fs::path root = c.setup(dir.path());
      EXPECT_EQ(outcome_of(ensure_versions_folder(root)), c.expected);
      if (c.expected == "ok") {
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(root / "versions")));
      }
    });
  }
}

std::function<fs::path(const fs::path&)> file_with(std::string content) {
  return [content](const fs::path& d) {
    test::write_file(d / "file", content);
    return d / "file";
  };
}

TEST(ReadFileLimited, ReadsPlainFilesUpToTheLimit) {
  const std::string manifest_sized(kManifestReadLimit, 'm');
  const auto not_a_file = [](const fs::path& d) {
    return "File is a link or is not a regular file: " + (d / "entry").string();
  };
  test::TempDir dir;
  std::vector<ReadCase> cases = {
      {"envelope of exactly the limit", file_with(manifest_sized), kManifestReadLimit,
       "read " + manifest_sized},
      {"envelope one byte over", file_with(manifest_sized + "m"), kManifestReadLimit,
       "Cached metadata is too large"},
      {"marker ok", file_with("ok"), kMarkerReadLimit, "read ok"},
      {"marker with a line break", file_with("ok\n"), kMarkerReadLimit,
       "Cached metadata is too large"},
      {"empty marker", file_with(""), kMarkerReadLimit, "read "},
      {"folder",
       [](const fs::path& d) {
         fs::create_directory(d / "entry");
         return d / "entry";
       },
       kMarkerReadLimit, not_a_file(dir.path())},
  };
  std::ranges::copy(system_read_cases(not_a_file(dir.path())), std::back_inserter(cases));
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::run_bound_by_permissions([&] {
      const fs::path path = c.setup(dir.path());
      EXPECT_EQ(outcome_of(read_file_limited(path, c.limit)), c.expected);
    });
    fs::remove_all(dir / "file");
    fs::remove_all(dir / "entry");
    fs::remove_all(dir / "target");
  }
}

TEST(WriteFileSynced, WritesOnlyNewFiles) {
  std::vector<WriteCase> cases = {
      {"nothing there", [](const fs::path&) {}, "ok", "ok"},
  };
  std::ranges::copy(system_write_new_cases(), std::back_inserter(cases));
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    c.setup(dir / "target");
    EXPECT_EQ(outcome_of(write_file_synced(dir / "target", bytes_of("ok"))), c.expected);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "elsewhere")));
    ASSERT_EQ(fs::is_regular_file(fs::symlink_status(dir / "target")),
              c.file_content_after != nullptr);
    if (c.file_content_after != nullptr) {
      EXPECT_EQ(test::read_file(dir / "target"), c.file_content_after);
    }
  }
}

TEST(WriteFileSynced, EmptyContentAndMissingFolder) {
  test::TempDir dir;
  EXPECT_EQ(outcome_of(write_file_synced(dir / "empty", {})), "ok");
  EXPECT_EQ(fs::file_size(dir / "empty"), 0U);
  EXPECT_EQ(outcome_of(write_file_synced(dir / "missing/file", bytes_of("ok"))),
            missing_folder_text());
}

TEST(ReplaceFileSynced, ReplacesInOneStepAndLeavesNoTemporaryFile) {
  std::vector<WriteCase> cases = {
      {"nothing there", [](const fs::path&) {}, "ok", "ok"},
      {"a file", [](const fs::path& t) { test::write_file(t, "old content"); }, "ok", "ok"},
  };
  std::ranges::copy(system_replace_cases(), std::back_inserter(cases));
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    fs::create_directory(dir / "temporary");
    c.setup(dir / "target");
    EXPECT_EQ(outcome_of(replace_file_synced(dir / "target", bytes_of("ok"), dir / "temporary")),
              c.expected);
    ASSERT_EQ(fs::is_regular_file(fs::symlink_status(dir / "target")),
              c.file_content_after != nullptr);
    if (c.file_content_after != nullptr) {
      EXPECT_EQ(test::read_file(dir / "target"), c.file_content_after);
    }
    EXPECT_TRUE(fs::is_empty(dir / "temporary"));
  }
  test::TempDir dir;
  EXPECT_EQ(outcome_of(replace_file_synced(dir / "target", bytes_of("ok"), dir / "missing")),
            missing_folder_text());
  EXPECT_FALSE(fs::exists(dir / "target"));
}

}  // namespace
}  // namespace orvo::core
