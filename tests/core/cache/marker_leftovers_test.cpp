// What a crash while a working marker was written leaves in the versions
// folder, and what the next listing of that folder removes of it. A link of
// that name is a POSIX case, in versions_cache_test.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/cache/versions_cache.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;
using test::write_file;

struct VersionsFolder {
  test::TempDir dir;
  PreparationContext context;

  VersionsFolder() {
    context.cache_root = dir / "HostLauncher";
    fs::create_directories(versions());
  }
  fs::path versions() const { return versions_folder_of(context.cache_root); }

  // Lists the folder, as every attempt does.
  void list() const {
    auto listed = list_installed_versions(context);
    ASSERT_TRUE(listed) << listed.error().chain_text();
  }
};

// Nothing has written it for an hour: no writer is at work on it. MinGW's
// library cannot set a folder's time; a folder stays young there.
void age(const fs::path& path) {
  std::error_code error;
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1), error);
  if (error) {
    EXPECT_TRUE(fs::is_directory(path)) << error.message();
  }
}

TEST(MarkerLeftovers, OnlyOldPlainFilesNamedAsMarkerTemporariesAreRemoved) {
  struct Case {
    std::string name;
    bool folder;
    bool old;
    bool removed;
  };
  const Case cases[] = {
      {".orvo-working.a1B2c3.tmp", false, true, true},
      // A writer in another session may own it still.
      {".orvo-working.a1B2c3.tmp", false, false, false},
      {".orvo-working.a1B2c3.tmp", true, true, false},
      // Names of no marker temporary.
      {".orvo-working.a1B2c.tmp", false, true, false},
      {".orvo-working.a1B2c34.tmp", false, true, false},
      {".orvo-working.a1-2c3.tmp", false, true, false},
      {".orvo-working", false, true, false},
      {"x.orvo-working.a1B2c3.tmp", false, true, false},
      {".orvo-manifest.json.a1B2c3.tmp", false, true, false},
      {".orvo-working.a1B2c3.tmp.part", false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + (c.folder ? " (folder)" : "") + (c.old ? " (old)" : " (new)"));
    VersionsFolder cache;
    const fs::path entry = cache.versions() / c.name;
    if (c.folder) {
      fs::create_directory(entry);
      write_file(entry / "inside", "kept");
    } else {
      write_file(entry, "o");
    }
    if (c.old) age(entry);
    cache.list();
    EXPECT_EQ(fs::exists(entry), !c.removed);
  }
}

}  // namespace
}  // namespace orvo::core
