// A session name held by another process: the test host holds the
// host-session name while it runs, as ORVO Host does, and its end releases it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/host/process_control.hpp"
#include "platform/session_mutex.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"

namespace orvo::platform {
namespace {

TEST(SessionMutexHost, ARunningHostHoldsItsNameAndItsEndReleasesIt) {
  constexpr std::string_view kHostName = "Local\\ORVO.Host.SupportSession";
  // The runtime folder of the lock files on POSIX; Windows names ignore it.
  test::TempDir runtime;
  test::ScopedVariable runtime_variable("XDG_RUNTIME_DIR", runtime.path().string());
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
