// Name resolution under the download's time limit, with the C library's own
// resolver held in a host-alias file that nobody writes to.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "support/net/download_fixture.hpp"
#include "support/net/stalled_resolution.hpp"

namespace orvo::core {
namespace {

using Download = test::DownloadFixture;

// The time limit is a total from the first step on, name resolution included.
TEST_F(Download, StalledNameResolutionRunsOutOfTime) {
  test::StalledResolution resolution;
  // Lets a client that waits for its resolver go on at last, so the test ends either way.
  std::jthread watchdog([&](std::stop_token stop) {
    std::mutex mutex;
    std::condition_variable_any woken;
    std::unique_lock lock(mutex);
    woken.wait_for(lock, stop, std::chrono::seconds(20), [] { return false; });
    resolution.release();
  });
  const std::string url = "https://" + std::string(test::StalledResolution::kHost) + ":" +
                          std::to_string(server.port()) + "/file";
  Result<DownloadBody> body = start_download(client, url, 1, cancel);
  EXPECT_FALSE(resolution.released()) << "the request waited for the resolver";
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().chain_text(), "Timeout was reached: operation timed out");
}

}  // namespace
}  // namespace orvo::core
