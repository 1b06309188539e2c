// Session mutexes as lock files in a runtime folder of the test's own:
// created, found held, released with their holder, in this process and
// across processes.
#include "platform/session_mutex.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/process_control.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"

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

TEST(SessionMutex, WithoutARuntimeFolderNothingCanBeCreatedOrFound) {
  for (const std::optional<std::string>& value :
       {std::optional<std::string>{}, std::optional<std::string>{""},
        std::optional<std::string>{"relative/run"}}) {
    test::ScopedVariable runtime_variable("XDG_RUNTIME_DIR", value);
    auto created = create_session_mutex(kName);
    ASSERT_FALSE(created);
    EXPECT_EQ(created.error().chain_text(), "The session has no runtime folder");
    EXPECT_FALSE(session_mutex_exists(kName));
  }
}

TEST_F(SessionMutexTest, AMissingRuntimeFolderFailsWithTheSystemError) {
  test::ScopedVariable missing("XDG_RUNTIME_DIR", (runtime / "gone").string());
  auto created = create_session_mutex(kName);
  ASSERT_FALSE(created);
  EXPECT_TRUE(created.error().os_code().has_value());
}

// The test host holds the host-session name while it runs, as ORVO Host does.
TEST_F(SessionMutexTest, ARunningHostHoldsItsNameAndItsEndReleasesIt) {
  constexpr std::string_view kHostName = "Local\\ORVO.Host.SupportSession";
  test::TempDir folder;
  test::write_file(folder / std::string(test::kHostBehaviourFile), "delay_ms 60000\n");
  auto host = start_process(ORVO_TEST_HOST, folder.path());
  ASSERT_TRUE(host);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!session_mutex_exists(kHostName) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(session_mutex_exists(kHostName));
  auto second = create_session_mutex(kHostName);
  ASSERT_TRUE(second);
  EXPECT_TRUE(second->already_existed);
  ASSERT_TRUE(end_process(*host, 1));
  ASSERT_TRUE(wait_for_exit(*host));
  EXPECT_FALSE(session_mutex_exists(kHostName));
}

}  // namespace
}  // namespace orvo::platform
