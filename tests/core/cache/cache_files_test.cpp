// The versions folder's path checks and the guarded reading and writing of the
// launcher's small files.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/cache/plain_files.hpp"
#include "core/cache/versions_cache.hpp"
#include "support/fs/special_files.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;
using test::bytes_of;

const std::string kLinkError = "Application cache path contains a link or non-directory";

std::string outcome_of(const Result<void>& result) {
  return result ? "ok" : result.error().chain_text();
}

std::string outcome_of(const Result<std::vector<std::byte>>& bytes) {
  if (!bytes) return bytes.error().chain_text();
  return "read " + std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size());
}

struct EnsureCase {
  const char* name;
  // Prepares the temporary folder and gives the cache root to use.
  std::function<fs::path(const fs::path& dir)> setup;
  std::string expected;
};

TEST(EnsureVersionsFolder, MakesTheFolderOnlyOnAPathOfPlainFolders) {
  const std::vector<EnsureCase> cases = {
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
      {"cache root below a link to a folder",
       [](const fs::path& d) {
         fs::create_directory(d / "real");
         fs::create_directory_symlink(d / "real", d / "link");
         return d / "link/ORVO/HostLauncher";
       },
       kLinkError},
      {"cache root that is a link to a folder",
       [](const fs::path& d) {
         fs::create_directory(d / "real");
         fs::create_directory_symlink(d / "real", d / "root");
         return d / "root";
       },
       kLinkError},
      {"cache root below a file",
       [](const fs::path& d) {
         test::write_file(d / "file", "");
         return d / "file/root";
       },
       kLinkError},
      {"a file named versions",
       [](const fs::path& d) {
         fs::create_directory(d / "root");
         test::write_file(d / "root/versions", "");
         return d / "root";
       },
       "Cannot create the ORVO application folder: File exists (os error 17)"},
      {"versions as a link to a folder",
       [](const fs::path& d) {
         fs::create_directories(d / "root/real");
         fs::create_directory_symlink(d / "root/real", d / "root/versions");
         return d / "root";
       },
       kLinkError},
      {"an ancestor that cannot be searched",
       [](const fs::path& d) {
         fs::create_directory(d / "locked");
         fs::permissions(d / "locked", fs::perms::none);
         return d / "locked/root";
       },
       "Permission denied (os error 13)"},
  };
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

struct ReadCase {
  const char* name;
  // Prepares the temporary folder and gives the path to read.
  std::function<fs::path(const fs::path& dir)> setup;
  std::uint64_t limit;
  std::string expected;  // "read <content>" or the error
};

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
  const std::vector<ReadCase> cases = {
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
      {"link to a file",
       [](const fs::path& d) {
         test::write_file(d / "target", "ok");
         fs::create_symlink(d / "target", d / "entry");
         return d / "entry";
       },
       kMarkerReadLimit, not_a_file(dir.path())},
      {"FIFO",
       [](const fs::path& d) {
         test::make_fifo(d / "entry");
         return d / "entry";
       },
       kMarkerReadLimit, not_a_file(dir.path())},
      {"missing", [](const fs::path& d) { return d / "entry"; }, kMarkerReadLimit,
       "No such file or directory (os error 2)"},
      {"unreadable",
       [](const fs::path& d) {
         test::write_file(d / "entry", "ok");
         fs::permissions(d / "entry", fs::perms::none);
         return d / "entry";
       },
       kMarkerReadLimit, "Permission denied (os error 13)"},
      // A kernel file whose metadata says 0 bytes: to the reader, a file that
      // grew past the limit after its size was taken.
      {"content beyond the size taken",
       [](const fs::path&) { return fs::path("/proc/self/status"); }, 16,
       "Input exceeds the allowed size"},
  };
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
  struct Case {
    const char* name;
    std::function<void(const fs::path& target)> setup;
    std::string expected;
    const char* file_content_after;  // nullptr: no plain file there afterwards
  };
  const std::vector<Case> cases = {
      {"nothing there", [](const fs::path&) {}, "ok", "ok"},
      {"a file", [](const fs::path& t) { test::write_file(t, "old"); }, "File exists (os error 17)",
       "old"},
      {"a folder", [](const fs::path& t) { fs::create_directory(t); }, "File exists (os error 17)",
       nullptr},
      {"a dangling link",
       [](const fs::path& t) { fs::create_symlink(t.parent_path() / "elsewhere", t); },
       "File exists (os error 17)", nullptr},
  };
  for (const Case& c : cases) {
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
            "No such file or directory (os error 2)");
}

TEST(ReplaceFileSynced, ReplacesInOneStepAndLeavesNoTemporaryFile) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& target)> setup;
    std::string expected;
    const char* file_content_after;  // nullptr: no plain file there afterwards
  };
  const std::vector<Case> cases = {
      {"nothing there", [](const fs::path&) {}, "ok", "ok"},
      {"a file", [](const fs::path& t) { test::write_file(t, "old content"); }, "ok", "ok"},
      {"a folder that is not empty",
       [](const fs::path& t) {
         fs::create_directory(t);
         test::write_file(t / "inside", "");
       },
       "Is a directory (os error 21)", nullptr},
  };
  for (const Case& c : cases) {
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
            "No such file or directory (os error 2)");
  EXPECT_FALSE(fs::exists(dir / "target"));
}

}  // namespace
}  // namespace orvo::core
