#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/cache/launcher_log.hpp"
#include "log_clock.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::TempDir;
using test::write_file;

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
  // Read-only, as a user or a backup tool may leave it.
  fs::permissions(previous, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

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

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::ranges::sort(lines);
  return lines;
}

// Lets every writer go at once. Not std::barrier: MinGW's libstdc++ 12 checks
// the barrier's phase outside the mutex of the condition variable it then
// waits on, so a wake-up can be lost and the writers wait for ever.
class StartGate {
 public:
  explicit StartGate(int parties) : waiting_(parties) {}

  void arrive_and_wait() {
    std::unique_lock lock(mutex_);
    if (--waiting_ == 0) opened_.notify_all();
    opened_.wait(lock, [&] { return waiting_ == 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  int waiting_;
};

// Two launchers of one user share the log. Each writer opens the log itself,
// as another process would.
TEST(LauncherLogTest, WritersAtOnceRotateOnceAndLoseNoLine) {
  constexpr int kWriters = 8;
  std::vector<std::string> expected;
  for (int w = 0; w < kWriters; ++w) expected.push_back("[1796860800] writer " + std::to_string(w));
  std::ranges::sort(expected);
  const std::string old_log(1'000'001, 'x');
  for (int round = 0; round < 20 && !HasFailure(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TempDir dir;
    const fs::path log = dir / "launcher.log";
    write_file(log, old_log);
    StartGate start(kWriters);
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
      writers.emplace_back([&, w] {
        start.arrive_and_wait();
        write_log_line(log, "writer " + std::to_string(w), fixed_clock);
      });
    }
    for (std::thread& writer : writers) writer.join();
    const std::string previous = read_file(dir / "launcher.previous.log");
    ASSERT_TRUE(previous.starts_with(old_log)) << "the rotated log was lost";
    // A writer that found the lock held through all its tries (a slow machine
    // is enough) writes without it into the file it opened, which by then may
    // be the previous log: its line comes late there, but it is kept.
    EXPECT_EQ(lines_of(read_file(log) + previous.substr(old_log.size())), expected);
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
