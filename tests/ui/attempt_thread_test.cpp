// The attempt thread as the window starts it: the real attempt body on a
// thread of its own that owns everything it was given.
#include "ui/attempt_thread.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <regex>

#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::ui {
namespace {

constexpr std::string_view kNotConfigured =
    "This launcher has not been configured for distribution. Run deploy/Publish-WindowsHost.ps1.";

TEST(AttemptThread, RunsThePreparationWithSettingsItOwns) {
  test::TempDir dir;
  test::ScopedVariable local_app_data("LOCALAPPDATA", dir.path().string());
  auto [sender, receiver] = core::make_channel<core::WorkerMessage>();
  {
    // The settings and the body made from them are gone before the thread runs far.
    core::PreparationSettings settings;
    settings.manifest_url = "https://127.0.0.1:1/downloads/host/win-x64/latest.json";
    const AttemptBody body = preparation_body(std::move(settings));
    ASSERT_TRUE(start_attempt_thread(
        body, {.sender = sender, .log_path = dir / "launcher.log", .cancel = core::CancelFlag{}}));
  }
  auto message = receiver.receive_until(std::chrono::steady_clock::now() + std::chrono::seconds(20));
  ASSERT_TRUE(message);
  ASSERT_TRUE(std::holds_alternative<core::Failed>(*message));
  EXPECT_EQ(std::get<core::Failed>(*message).text, kNotConfigured);
  EXPECT_TRUE(std::regex_match(test::read_file(dir / "launcher.log"),
                               std::regex(R"(\[[0-9]+\] This launcher has not been configured.*\n)")));
}

}  // namespace
}  // namespace orvo::ui
