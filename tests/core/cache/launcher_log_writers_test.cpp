// The launcher log against what others do to it: another process that holds
// its lock and never lets go, a log made read-only. These cases run on every
// system; launcher_log_test.cpp has the POSIX ones.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "core/cache/launcher_log.hpp"
#include "platform/host/process_control.hpp"
#include "support/fs/special_files.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

bool is_one_fresh_line(const std::string& log, std::string_view text) {
  return log.starts_with('[') && log.ends_with("] " + std::string(text) + "\n") &&
         log.find('\n') == log.size() - 1;
}

// A stuck launcher or another program holds the lock on the log. The writer
// must come back with its line written, for the attempt still has its final
// message to send; only the rotation waits for a free lock.
TEST(LauncherLogWritersTest, ALockHeldByAnotherProcessCostsOnlyTheRotation) {
  test::TempDir dir;
  const fs::path log = dir / "launcher.log";
  const std::string old_log(1'000'001, 'x');
  write_file(log, old_log);
  auto holder = platform::start_process(ORVO_LOCK_HOLDER, dir.path());
  ASSERT_TRUE(holder) << holder.error().chain_text();
  const bool held = test::wait_for_ready_file(dir / "lock-held").has_value();

  std::promise<void> written;
  std::future<void> done = written.get_future();
  std::thread writer([&] {
    write_log_line(log, "next");
    written.set_value();
  });
  // The writer gives up on the lock after about 100 ms.
  const bool returned = done.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
  // The holder's end frees a writer that waits for it, so the test ends either way.
  ASSERT_TRUE(platform::end_process(*holder, 1));
  ASSERT_TRUE(platform::wait_for_exit(*holder));
  writer.join();
  ASSERT_TRUE(held) << "the other process never held the lock";
  EXPECT_TRUE(returned) << "the writer waited for the other process's lock";

  const std::string text = read_file(log);
  EXPECT_TRUE(text.starts_with(old_log) && is_one_fresh_line(text.substr(old_log.size()), "next"))
      << "the line was not appended to the log";
  EXPECT_FALSE(fs::exists(dir / "launcher.previous.log"));
  // With the lock free again, the next line rotates.
  write_log_line(log, "after");
  EXPECT_TRUE(read_file(dir / "launcher.previous.log") == text);
  EXPECT_TRUE(is_one_fresh_line(read_file(log), "after"));
}

// A read-only log takes no line, but it can still be renamed away: past the
// threshold a fresh log starts, and the log is not silenced for good.
TEST(LauncherLogWritersTest, AReadOnlyLogIsRotatedPastTheThreshold) {
  struct Case {
    std::size_t size;
    bool rotated;
  };
  for (const Case c : {Case{1'000'000, false}, Case{1'000'001, true}}) {
    SCOPED_TRACE(c.size);
    test::TempDir dir;
    const fs::path log = dir / "launcher.log";
    const fs::path previous = dir / "launcher.previous.log";
    const std::string old_log(c.size, 'x');
    write_file(log, old_log);
    fs::permissions(log, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    bool writable = false;
    test::run_bound_by_permissions([&] {
      writable = std::ofstream(log, std::ios::app).is_open();
      if (!writable) write_log_line(log, "next");
    });
    // Wine running as root lets a read-only file be written.
    if (writable) GTEST_SKIP() << "a read-only file can be written here";

    if (c.rotated) {
      EXPECT_TRUE(fs::exists(previous) && read_file(previous) == old_log);
      EXPECT_TRUE(is_one_fresh_line(read_file(log), "next"));
    } else {
      EXPECT_TRUE(read_file(log) == old_log) << "a read-only log was written to";
      EXPECT_FALSE(fs::exists(previous));
    }
  }
}

}  // namespace
}  // namespace orvo::core
