// The fixture of the tests of whole attempts: the preparation fixture with a
// display for the host's window, one attempt run to its end with the messages
// it sent, and the log's lines.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "attempt/preparation_attempt.hpp"
#include "platform/host/process_control.hpp"
#include "support/host/test_host.hpp"
#include "support/host/x_server.hpp"
#include "support/suite/preparation_fixture.hpp"

namespace orvo::core {

class PreparationAttempt : public test::PreparationFixture {
 protected:
  void SetUp() override {
    // A Windows desktop is always there; X11 needs a server of the test's own.
    if (test::display_named_by_environment() && !test::xvfb_installed()) {
      GTEST_SKIP() << "Xvfb is not installed";
    }
    x_server.emplace();
  }

  // A release whose host opens its window, or behaves as the lines say.
  static std::vector<test::ReleaseFile> host_release(std::uint64_t sequence,
                                                     std::string behaviour = {}) {
    return {{"ORVO.Host.exe", test::test_host_bytes()},
            {std::string(test::kHostBehaviourFile), behaviour},
            {"version.txt", "release " + std::to_string(sequence)}};
  }

  std::filesystem::path log_path() const { return cache_root() / "launcher.log"; }

  // When the test sets the attempt's cancel flag, given the messages so far.
  using CancelTrigger = std::function<bool(const std::vector<std::string>& seen)>;

  // Runs one attempt to its end and returns everything it sent, described; a
  // started host is ended, so that none outlives the test. With a trigger, the
  // messages are taken while the attempt runs, and the flag is set the moment
  // the trigger holds.
  std::vector<std::string> run(const CancelTrigger& cancel_when = {}) {
    std::vector<std::string> seen;
    const auto take = [&](WorkerMessage message) {
      seen.push_back(test::describe(message));
      if (auto* launched = std::get_if<Launched>(&message)) {
        EXPECT_TRUE(platform::end_process(launched->host, 1));
        EXPECT_TRUE(platform::wait_for_exit(launched->host));
      }
    };
    {
      std::jthread watcher;
      if (cancel_when) {
        watcher = std::jthread([&](std::stop_token stop) {
          while (!stop.stop_requested()) {
            auto message = channel.second.receive_until(std::chrono::steady_clock::now() +
                                                        std::chrono::milliseconds(5));
            if (message) take(std::move(*message));
            if (!cancel.is_set() && cancel_when(seen)) cancel.set();
          }
        });
      }
      run_preparation(sender, log_path(), cancel, settings);
    }
    while (auto message = channel.second.try_receive()) take(std::move(*message));
    const auto finals = std::ranges::count_if(seen, [](const std::string& line) {
      return line == "Launched" || line.starts_with("Failed: ");
    });
    EXPECT_EQ(finals, 1) << "one final message";
    EXPECT_TRUE(!seen.empty() && (seen.back() == "Launched" || seen.back().starts_with("Failed: ")));
    return seen;
  }

  // The log's lines without their time stamps.
  std::vector<std::string> log_lines() const {
    std::vector<std::string> lines;
    if (!std::filesystem::exists(log_path())) return lines;
    std::istringstream in(test::read_file(log_path()));
    for (std::string line; std::getline(in, line);) {
      std::smatch stamp;
      EXPECT_TRUE(std::regex_match(line, stamp, std::regex(R"(\[[0-9]+\] (.*))"))) << line;
      lines.push_back(stamp[1]);
    }
    return lines;
  }

  std::optional<test::XServer> x_server;
};

}  // namespace orvo::core
