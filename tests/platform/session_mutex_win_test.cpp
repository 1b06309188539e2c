// Session mutexes as Win32 named mutexes in "Local\": created, found held,
// released with their holder, in this process and across processes.
#include "platform/session_mutex.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "platform/process_control.hpp"
#include "platform/win32.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"

namespace orvo::platform {
namespace {

constexpr std::string_view kName = "Local\\ORVO.Test.Mutex.Win";

TEST(SessionMutexWin, TheFirstCreatorHoldsTheNameUntilItLetsGo) {
  EXPECT_FALSE(session_mutex_exists(kName));
  {
    auto first = create_session_mutex(kName);
    ASSERT_TRUE(first) << first.error().chain_text();
    EXPECT_FALSE(first->already_existed);
    EXPECT_TRUE(session_mutex_exists(kName));
    auto second = create_session_mutex(kName);
    ASSERT_TRUE(second) << second.error().chain_text();
    EXPECT_TRUE(second->already_existed);
    // The second value holds nothing: the name goes with the first.
  }
  EXPECT_FALSE(session_mutex_exists(kName));
  auto again = create_session_mutex(kName);
  ASSERT_TRUE(again);
  EXPECT_FALSE(again->already_existed);
}

TEST(SessionMutexWin, NamesOutsideTheSessionFormAreRefused) {
  for (const std::string_view name :
       {std::string_view("ORVO.Test"), std::string_view("Global\\ORVO.Test"),
        std::string_view("Local\\"), std::string_view("Local\\a\0b", 9)}) {
    SCOPED_TRACE(std::string(name));
    EXPECT_FALSE(create_session_mutex(name));
    EXPECT_FALSE(session_mutex_exists(name));
  }
}

// A name held by another kind of kernel object cannot be a mutex: the system
// refuses it, and the launcher reports the failure rather than run.
TEST(SessionMutexWin, ANameTakenByAnotherKindOfObjectFailsWithTheSystemError) {
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"Local\\ORVO.Test.Event.Win");
  ASSERT_NE(event, nullptr);
  auto created = create_session_mutex("Local\\ORVO.Test.Event.Win");
  ASSERT_FALSE(created);
  EXPECT_EQ(created.error().os_code(), std::optional<int>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(session_mutex_exists("Local\\ORVO.Test.Event.Win"));
  CloseHandle(event);
}

// The test host holds the host-session name while it runs, as ORVO Host does.
TEST(SessionMutexWin, ARunningHostHoldsItsNameAndItsEndReleasesIt) {
  constexpr std::string_view kHostName = "Local\\ORVO.Host.SupportSession";
  test::TempDir folder;
  test::write_file(folder / std::string(test::kHostBehaviourFile), "delay_ms 60000\n");
  auto host = start_process(ORVO_TEST_HOST, folder.path());
  ASSERT_TRUE(host) << host.error().chain_text();
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
