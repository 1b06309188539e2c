// An attempt's final failure: one log line and one Failed message, the same chain text.
#include "attempt/final_failure.hpp"

#include <gtest/gtest.h>

#include <regex>

#include "support/fs/temp_dir.hpp"

namespace orvo::core {
namespace {

TEST(FinalFailure, LogsTheChainOnceAndSendsItOnce) {
  test::TempDir dir;
  auto [sender, receiver] = make_channel<WorkerMessage>();
  const Error error = Error("inner").wrap("middle").wrap("outer");
  report_final_failure(sender, dir / "launcher.log", error);

  EXPECT_TRUE(std::regex_match(test::read_file(dir / "launcher.log"),
                               std::regex(R"(\[[0-9]+\] outer: middle: inner\n)")));
  auto message = receiver.try_receive();
  ASSERT_TRUE(message);
  ASSERT_TRUE(std::holds_alternative<Failed>(*message));
  EXPECT_EQ(std::get<Failed>(*message).text, "outer: middle: inner");
  EXPECT_EQ(receiver.try_receive().error(), ReceiveError::Empty);
}

TEST(FinalFailure, AGoneWindowAndAnUnwritableLogAreIgnored) {
  test::TempDir dir;
  auto channel = make_channel<WorkerMessage>();
  { auto dropped = std::move(channel.second); }
  // A folder where the log should be cannot be appended to.
  std::filesystem::create_directory(dir / "launcher.log");
  report_final_failure(channel.first, dir / "launcher.log", Error("text"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "launcher.log"));
}

}  // namespace
}  // namespace orvo::core
