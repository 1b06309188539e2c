// Log cases of POSIX facts: a lock call made to fail, and a folder's size.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "core/cache/launcher_log.hpp"
#include "log_clock.hpp"
#include "support/fs/failing_calls.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::TempDir;
using test::write_file;

// A file system may have no locks, or the lock call fail: the logs must stay
// bounded all the same.
TEST(LauncherLogTest, RotatesWithoutALock) {
  TempDir dir;
  const fs::path log = dir / "launcher.log";
  const std::string old_log(1'000'001, 'x');
  write_file(log, old_log);
  test::run_with_failing_call(test::SystemCall::Lock,
                              [&] { write_log_line(log, "next", fixed_clock); });
  EXPECT_EQ(read_file(log), "[1796860800] next\n");
  EXPECT_TRUE(read_file(dir / "launcher.previous.log") == old_log);
}

std::uint64_t size_on_disk(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return static_cast<std::uint64_t>(info.st_size);
}

TEST(LauncherLogTest, OnlyAPlainFileIsRotated) {
  TempDir dir;
  const fs::path log = dir / "launcher.log";
  fs::create_directory(log);
  // A folder grows with its entries, the sooner the longer their names.
  for (int i = 0; i < 20'000 && size_on_disk(log) <= 1'000'000; ++i) {
    write_file(log / (std::string(240, 'n') + std::to_string(i)), "");
  }
  if (size_on_disk(log) <= 1'000'000) GTEST_SKIP() << "folders stay small on this file system";
  write_file(dir / "launcher.previous.log", "older previous log");

  write_log_line(log, "lost", fixed_clock);

  EXPECT_TRUE(fs::is_directory(log));
  EXPECT_EQ(read_file(dir / "launcher.previous.log"), "older previous log");
}

}  // namespace
}  // namespace orvo::core
