// The user's private folder: the runtime folder when it is usable, else a
// per-user folder in the temporary folder that nobody else can have made
// ready for us.
#include "platform/private_folder_posix.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/env.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::platform {
namespace {

namespace fs = std::filesystem;

class PrivateFolder : public testing::Test {
 protected:
  PrivateFolder() { ::chmod(runtime.path().c_str(), 0700); }

  test::TempDir runtime;
  test::TempDir temp;
  test::ScopedVariable runtime_variable{"XDG_RUNTIME_DIR", runtime.path().string()};
  test::ScopedVariable temp_variable{"TMPDIR", temp.path().string()};
};

TEST_F(PrivateFolder, IsTheRuntimeFolderWhenItIsUsable) {
  const auto folder = private_folder();
  ASSERT_TRUE(folder) << folder.error().chain_text();
  EXPECT_EQ(*folder, runtime.path());
  EXPECT_EQ(private_temp_folder().value_or(fs::path()), runtime.path());
  EXPECT_FALSE(fs::exists(per_user_folder()));
}

TEST_F(PrivateFolder, ElseAPerUserFolderOnlyTheUserCanEnter) {
  test::write_file(runtime / "a-file", "");
  fs::create_directory(runtime / "shared");
  ::chmod((runtime / "shared").c_str(), 0777);
  for (const std::optional<std::string>& value :
       {std::optional<std::string>{}, std::optional<std::string>{""},
        std::optional<std::string>{"relative/run"}, std::optional<std::string>{(runtime / "gone").string()},
        std::optional<std::string>{(runtime / "a-file").string()},
        std::optional<std::string>{(runtime / "shared").string()}}) {
    SCOPED_TRACE(value.value_or("<unset>"));
    test::ScopedVariable runtime_value("XDG_RUNTIME_DIR", value);
    const auto folder = private_folder();
    ASSERT_TRUE(folder) << folder.error().chain_text();
    EXPECT_EQ(*folder, temp / ("orvo-" + std::to_string(::geteuid())));
    struct stat status {};
    ASSERT_EQ(::lstat(folder->c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0700U);
  }
}

TEST_F(PrivateFolder, APerUserFolderMadeReadyByOthersIsRefused) {
  test::ScopedVariable no_runtime("XDG_RUNTIME_DIR", std::nullopt);
  const fs::path place = per_user_folder();
  fs::create_directory(temp / "elsewhere");
  ::chmod((temp / "elsewhere").c_str(), 0700);
  const std::function<void()> plants[] = {
      [&] {
        fs::create_directory(place);
        ::chmod(place.c_str(), 0777);
      },
      [&] { fs::create_directory_symlink(temp / "elsewhere", place); },
      [&] { test::write_file(place, ""); },
  };
  for (const auto& plant : plants) {
    fs::remove_all(place);
    plant();
    const auto folder = private_folder();
    ASSERT_FALSE(folder);
    EXPECT_TRUE(folder.error().chain_text().starts_with("The user's private folder is refused"))
        << folder.error().chain_text();
    EXPECT_FALSE(private_temp_folder());
  }
}

TEST_F(PrivateFolder, AFolderThatCannotBeMadeIsAnError) {
  test::ScopedVariable no_runtime("XDG_RUNTIME_DIR", std::nullopt);
  test::ScopedVariable missing("TMPDIR", (temp / "gone").string());
  const auto folder = private_folder();
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.error().message(), "The user's private folder cannot be made");
  EXPECT_FALSE(fs::exists(temp / "gone"));
}

TEST(PerUserFolder, LiesInAnAbsoluteTemporaryFolderElseInTmp) {
  const std::string name = "orvo-" + std::to_string(::geteuid());
  struct Case {
    std::optional<std::string> tmpdir;
    std::string expected;
  };
  for (const Case& c : {Case{"/var/tmp/u", "/var/tmp/u/" + name}, Case{std::nullopt, "/tmp/" + name},
                        Case{"", "/tmp/" + name}, Case{"tmp", "/tmp/" + name}}) {
    test::ScopedVariable tmpdir("TMPDIR", c.tmpdir);
    EXPECT_EQ(per_user_folder().string(), c.expected);
  }
}

// Windows always sets LOCALAPPDATA for a user; a Linux session does not, and
// the user's data folder stands in for it.
TEST(LocalAppDataFolder, FallsBackToTheUsersDataFolder) {
  struct Case {
    std::optional<std::string> local, data_home, home;
    std::optional<std::string> expected;
  };
  for (const Case& c : {
           Case{"/l", "/d", "/h", "/l"},
           Case{"", "/d", "/h", ""},
           Case{std::nullopt, "/d", "/h", "/d"},
           Case{std::nullopt, "relative", "/h", "/h/.local/share"},
           Case{std::nullopt, "", "/h", "/h/.local/share"},
           Case{std::nullopt, std::nullopt, "/h", "/h/.local/share"},
           Case{std::nullopt, std::nullopt, "h", std::nullopt},
           Case{std::nullopt, std::nullopt, std::nullopt, std::nullopt},
       }) {
    test::ScopedVariable local("LOCALAPPDATA", c.local);
    test::ScopedVariable data_home("XDG_DATA_HOME", c.data_home);
    test::ScopedVariable home("HOME", c.home);
    const auto folder = local_app_data_folder();
    SCOPED_TRACE(c.expected.value_or("<none>"));
    ASSERT_EQ(folder.has_value(), c.expected.has_value());
    if (folder) {
      EXPECT_EQ(folder->string(), *c.expected);
    }
  }
}

}  // namespace
}  // namespace orvo::platform
