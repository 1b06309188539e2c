// Session mutexes as Win32 named mutexes in "Local\": created, found held,
// released with their holder (a holder in another process:
// session_mutex_host_test.cpp).
#include "platform/session_mutex.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/win32.hpp"

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

}  // namespace
}  // namespace orvo::platform
