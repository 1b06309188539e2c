#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "core/cache/launcher_log.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::TempDir;
using test::write_file;

// 2026-12-10 00:00:00 UTC counted from 1601 in 100-ns steps, plus 0.9 s that must be dropped.
std::uint64_t fixed_clock() { return 116'444'736'000'000'000ull + 1'796'860'800ull * 10'000'000ull + 9'000'000ull; }
std::uint64_t clock_before_1970() { return 116'444'735'999'999'999ull; }

TEST(LauncherLogTest, AppendsTimestampedLinesCreatingMissingFolders) {
  TempDir dir;
  const fs::path log = dir / "ORVO" / "HostLauncher" / "launcher.log";
  write_log_line(log, "first", fixed_clock);
  write_log_line(log, "two\nlines", fixed_clock);
  EXPECT_EQ(read_file(log), "[1796860800] first\n[1796860800] two\nlines\n");
}

TEST(LauncherLogTest, TimeBefore1970IsZero) {
  EXPECT_EQ(seconds_since_1970(0), 0u);
  EXPECT_EQ(seconds_since_1970(clock_before_1970()), 0u);
  EXPECT_EQ(seconds_since_1970(116'444'736'000'000'000ull), 0u);
  EXPECT_EQ(seconds_since_1970(116'444'736'010'000'000ull), 1u);
  TempDir dir;
  write_log_line(dir / "launcher.log", "old clock", clock_before_1970);
  EXPECT_EQ(read_file(dir / "launcher.log"), "[0] old clock\n");
}

struct RotationCase {
  std::size_t size;
  bool rotated;
};

class LauncherLogRotationTest : public ::testing::TestWithParam<RotationCase> {};

TEST_P(LauncherLogRotationTest, RotatesOnlyPastOneMillionBytes) {
  TempDir dir;
  const fs::path log = dir / "launcher.log";
  const fs::path previous = dir / "launcher.previous.log";
  const std::string old_log(GetParam().size, 'x');
  write_file(log, old_log);
  write_file(previous, "older previous log");
  ::chmod(previous.c_str(), 0444);

  write_log_line(log, "next", fixed_clock);

  if (GetParam().rotated) {
    EXPECT_EQ(read_file(log), "[1796860800] next\n");
    EXPECT_EQ(read_file(previous), old_log);
  } else {
    EXPECT_EQ(read_file(log), old_log + "[1796860800] next\n");
    EXPECT_EQ(read_file(previous), "older previous log");
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LauncherLogRotationTest,
                         ::testing::Values(RotationCase{999'999, false},
                                           RotationCase{1'000'000, false},
                                           RotationCase{1'000'001, true}));

TEST(LauncherLogTest, PreviousNameReplacesTheExtension) {
  struct Case {
    const char* name;
    const char* previous;
  };
  const Case cases[] = {{"launcher.log", "launcher.previous.log"},
                        {"launcher", "launcher.previous.log"},
                        {".log", ".log.previous.log"}};
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir / c.name, std::string(1'000'001, 'x'));
    write_log_line(dir / c.name, "line", fixed_clock);
    EXPECT_TRUE(fs::exists(dir / c.previous)) << c.name;
  }
}

TEST(LauncherLogTest, UnwritableLogIsIgnored) {
  TempDir dir;
  // A folder where the log should be, and a log whose parent is a plain file.
  fs::create_directory(dir / "launcher.log");
  write_log_line(dir / "launcher.log", "lost", fixed_clock);
  EXPECT_TRUE(fs::is_directory(dir / "launcher.log"));
  write_file(dir / "file", "plain");
  write_log_line(dir / "file" / "launcher.log", "lost", fixed_clock);
  EXPECT_EQ(read_file(dir / "file"), "plain");
  write_log_line("", "lost", fixed_clock);
}

}  // namespace
}  // namespace orvo::core
