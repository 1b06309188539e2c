#include "platform/file_lock.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/fs/temp_dir.hpp"

namespace orvo::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::write_file;

// The second is told at once that the lock is taken, and gets it once the
// first lets go: it never waits inside the call.
TEST(FileLockTest, ASecondHolderWaitsForTheFirst) {
  TempDir dir;
  const fs::path path = dir / "log";
  auto first_file = File::open_append(path);
  auto second_file = File::open_append(path);
  ASSERT_TRUE(first_file.has_value());
  ASSERT_TRUE(second_file.has_value());
  auto first = FileLock::try_acquire(*first_file);
  ASSERT_TRUE(first.has_value()) << first.error().chain_text();
  ASSERT_TRUE(first->has_value());
  auto refused = FileLock::try_acquire(*second_file);
  ASSERT_TRUE(refused.has_value()) << refused.error().chain_text();
  EXPECT_FALSE(refused->has_value());
  first->reset();
  auto second = FileLock::try_acquire(*second_file);
  ASSERT_TRUE(second.has_value()) << second.error().chain_text();
  EXPECT_TRUE(second->has_value());
}

TEST(FileLockTest, HoldsOnlyWhileThePathLeadsToTheLockedFile) {
  TempDir dir;
  const fs::path path = dir / "log";
  auto file = File::open_append(path);
  ASSERT_TRUE(file.has_value());
  auto held = FileLock::try_acquire(*file);
  ASSERT_TRUE(held.has_value() && held->has_value());
  const FileLock& lock = **held;
  fs::create_symlink(path, dir / "link");
  EXPECT_EQ(lock.holds(path), true);
  EXPECT_EQ(lock.holds(dir / "link"), true);
  fs::rename(path, dir / "moved");
  EXPECT_EQ(lock.holds(path), false);
  EXPECT_EQ(lock.holds(dir / "moved"), true);
  write_file(path, "a new log");
  EXPECT_EQ(lock.holds(path), false);
  fs::remove(path);
  EXPECT_EQ(lock.holds(path), false);
}

}  // namespace
}  // namespace orvo::platform
