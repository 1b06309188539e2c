// The log's fallback folder on Linux: one only this user can write, never a
// shared /tmp where another user could have planted the log as a link.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "core/cache/launcher_log.hpp"
#include "platform/private_folder_posix.hpp"
#include "support/fs/no_local_app_data.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"
#include "ui/log_location.hpp"

namespace orvo::ui {
namespace {

namespace fs = std::filesystem;

class LogFallback : public testing::Test {
 protected:
  LogFallback() { ::chmod(runtime.path().c_str(), 0700); }

  const test::NoLocalAppData no_cache_root;
  test::TempDir runtime;
  test::TempDir temp;
  test::ScopedVariable runtime_variable{"XDG_RUNTIME_DIR", runtime.path().string()};
  test::ScopedVariable temp_variable{"TMPDIR", temp.path().string()};
};

TEST_F(LogFallback, LiesInTheRuntimeFolderElseInThePerUserFolder) {
  EXPECT_EQ(choose_log_path().value_or(fs::path()), runtime / "ORVO" / "launcher.log");
  test::ScopedVariable no_runtime("XDG_RUNTIME_DIR", std::nullopt);
  EXPECT_EQ(choose_log_path().value_or(fs::path()), platform::per_user_folder() / "ORVO" / "launcher.log");
  EXPECT_EQ(fs::status(platform::per_user_folder()).permissions(), fs::perms::owner_all);
}

TEST_F(LogFallback, APerUserFolderThatOthersCanWriteGivesNoLogPath) {
  test::ScopedVariable no_runtime("XDG_RUNTIME_DIR", std::nullopt);
  fs::create_directory(platform::per_user_folder());
  ::chmod(platform::per_user_folder().c_str(), 0777);
  const auto path = choose_log_path();
  ASSERT_FALSE(path);
  EXPECT_EQ(path.error().message(), "No folder for the launcher log");
}

// Another user's link in place of the log: no line goes through it.
TEST_F(LogFallback, APlantedLinkForTheLogLeavesItsTargetUntouched) {
  const auto path = choose_log_path();
  ASSERT_TRUE(path) << path.error().chain_text();
  test::write_file(temp / "victim", "the victim's own\n");
  fs::create_directories(path->parent_path());
  fs::create_symlink(temp / "victim", *path);
  core::write_log_line(*path, "a line");
  EXPECT_EQ(test::read_file(temp / "victim"), "the victim's own\n");
  EXPECT_TRUE(fs::is_symlink(*path));
}

}  // namespace
}  // namespace orvo::ui
