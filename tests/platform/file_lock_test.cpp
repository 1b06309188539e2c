#include "platform/file_lock.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "support/fs/temp_dir.hpp"

namespace orvo::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::write_file;

TEST(FileLockTest, ASecondHolderWaitsForTheFirst) {
  TempDir dir;
  const fs::path path = dir / "log";
  auto first_file = File::open_append(path);
  auto second_file = File::open_append(path);
  ASSERT_TRUE(first_file.has_value());
  ASSERT_TRUE(second_file.has_value());
  std::optional<FileLock> first;
  {
    auto lock = FileLock::acquire(*first_file);
    ASSERT_TRUE(lock.has_value()) << lock.error().chain_text();
    first.emplace(std::move(*lock));
  }
  std::atomic<bool> second_held = false;
  std::thread second([&] {
    auto lock = FileLock::acquire(*second_file);
    EXPECT_TRUE(lock.has_value());
    second_held = true;
  });
  // However long this is, the second must still be waiting.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(second_held);
  first.reset();
  second.join();
  EXPECT_TRUE(second_held);
}

TEST(FileLockTest, HoldsOnlyWhileThePathLeadsToTheLockedFile) {
  TempDir dir;
  const fs::path path = dir / "log";
  auto file = File::open_append(path);
  ASSERT_TRUE(file.has_value());
  auto lock = FileLock::acquire(*file);
  ASSERT_TRUE(lock.has_value());
  fs::create_symlink(path, dir / "link");
  EXPECT_EQ(lock->holds(path), true);
  EXPECT_EQ(lock->holds(dir / "link"), true);
  fs::rename(path, dir / "moved");
  EXPECT_EQ(lock->holds(path), false);
  EXPECT_EQ(lock->holds(dir / "moved"), true);
  write_file(path, "a new log");
  EXPECT_EQ(lock->holds(path), false);
  fs::remove(path);
  EXPECT_EQ(lock->holds(path), false);
}

}  // namespace
}  // namespace orvo::platform
