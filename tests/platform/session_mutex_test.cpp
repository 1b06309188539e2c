// Session mutexes as lock files in a runtime folder of the test's own:
// created, found held and released with their holder (a holder in another
// process: session_mutex_host_test.cpp).
#include "platform/session_mutex.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "platform/private_folder_posix.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::platform {
namespace {

constexpr std::string_view kName = "Local\\ORVO.Test.Mutex";

class SessionMutexTest : public testing::Test {
 protected:
  test::TempDir runtime;
  test::ScopedVariable runtime_variable{"XDG_RUNTIME_DIR", runtime.path().string()};
};

TEST_F(SessionMutexTest, TheFirstCreatorHoldsTheNameUntilItLetsGo) {
  EXPECT_FALSE(session_mutex_exists(kName));
  {
    auto first = create_session_mutex(kName);
    ASSERT_TRUE(first) << first.error().chain_text();
    EXPECT_FALSE(first->already_existed);
    EXPECT_TRUE(std::filesystem::exists(runtime / "ORVO.Test.Mutex.lock"));
    EXPECT_TRUE(session_mutex_exists(kName));
    auto second = create_session_mutex(kName);
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->already_existed);
    // Testing for the name leaves it held.
    EXPECT_TRUE(session_mutex_exists(kName));
  }
  EXPECT_FALSE(session_mutex_exists(kName));
  auto again = create_session_mutex(kName);
  ASSERT_TRUE(again);
  EXPECT_FALSE(again->already_existed);
}

TEST_F(SessionMutexTest, AFileLeftBehindWithoutAHolderDoesNotCount) {
  test::write_file(runtime / "ORVO.Test.Mutex.lock", "");
  EXPECT_FALSE(session_mutex_exists(kName));
  auto created = create_session_mutex(kName);
  ASSERT_TRUE(created);
  EXPECT_FALSE(created->already_existed);
}

TEST_F(SessionMutexTest, ALinkInPlaceOfTheFileIsNotFollowed) {
  std::filesystem::create_symlink(runtime / "elsewhere", runtime / "ORVO.Test.Mutex.lock");
  EXPECT_FALSE(create_session_mutex(kName));
  EXPECT_FALSE(std::filesystem::exists(runtime / "elsewhere"));
  EXPECT_FALSE(session_mutex_exists(kName));
}

TEST_F(SessionMutexTest, NamesOutsideTheSessionFormAreRefused) {
  for (const std::string_view name :
       {"ORVO.Test", "Global\\ORVO.Test", "Local\\", "Local\\.", "Local\\..", "Local\\a/b",
        "Local\\a\\b"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(create_session_mutex(name));
    EXPECT_FALSE(session_mutex_exists(name));
  }
  EXPECT_TRUE(std::filesystem::is_empty(runtime.path()));
}

// Whether a system error lies somewhere in the chain.
bool has_os_code(const core::Error& error) {
  for (const core::Error* link = &error; link != nullptr; link = link->cause()) {
    if (link->os_code()) return true;
  }
  return false;
}

TEST_F(SessionMutexTest, WithoutARuntimeVariableTheNamesLiveInThePerUserFolder) {
  test::TempDir temp;
  test::ScopedVariable temp_variable("TMPDIR", temp.path().string());
  test::ScopedVariable no_runtime("XDG_RUNTIME_DIR", std::nullopt);
  {
    auto first = create_session_mutex(kName);
    ASSERT_TRUE(first) << first.error().chain_text();
    EXPECT_FALSE(first->already_existed);
    EXPECT_TRUE(std::filesystem::exists(per_user_folder() / "ORVO.Test.Mutex.lock"));
    EXPECT_TRUE(session_mutex_exists(kName));
    auto second = create_session_mutex(kName);
    ASSERT_TRUE(second) << second.error().chain_text();
    EXPECT_TRUE(second->already_existed);
  }
  EXPECT_FALSE(session_mutex_exists(kName));
}

TEST(SessionMutex, WithoutARuntimeFolderNothingCanBeCreatedOrFound) {
  // Nor can the per-user folder be made: the temporary folder is a file.
  test::TempDir temp;
  test::write_file(temp / "a-file", "");
  test::ScopedVariable temp_variable("TMPDIR", (temp / "a-file").string());
  for (const std::optional<std::string>& value :
       {std::optional<std::string>{}, std::optional<std::string>{""},
        std::optional<std::string>{"relative/run"}}) {
    test::ScopedVariable runtime_variable("XDG_RUNTIME_DIR", value);
    auto created = create_session_mutex(kName);
    ASSERT_FALSE(created);
    EXPECT_EQ(created.error().message(), "The session has no runtime folder");
    EXPECT_FALSE(session_mutex_exists(kName));
  }
}

TEST_F(SessionMutexTest, AMissingRuntimeFolderFailsWithTheSystemError) {
  test::ScopedVariable missing("XDG_RUNTIME_DIR", (runtime / "gone").string());
  test::ScopedVariable missing_temp("TMPDIR", (runtime / "gone").string());
  auto created = create_session_mutex(kName);
  ASSERT_FALSE(created);
  EXPECT_TRUE(has_os_code(created.error())) << created.error().chain_text();
}

}  // namespace
}  // namespace orvo::platform
