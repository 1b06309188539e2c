// The configuration stage of an attempt, through choose_launch: its errors end
// the attempt at once, with no request and no fallback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <regex>
#include <thread>

#include "attempt/configuration.hpp"
#include "attempt/launch_choice_fixture.hpp"
#include "core/release/sha256.hpp"
#include "platform/os_error.hpp"
#include "support/fs/no_local_app_data.hpp"
#include "support/fs/special_files.hpp"
#include "support/suite/case_name.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

// ---- Configuration: errors end the attempt at once, before any request.

struct ConfigurationCase {
  std::string name;
  std::string key_text;  // "<signer>": the key of the fixture's signer
  bool local_app_data = true;
  bool cancelled = false;
  bool versions_is_file = false;
  std::string error;
};

class Configuration : public LaunchChoice,
                      public testing::WithParamInterface<ConfigurationCase> {};

TEST_P(Configuration, FailsAtOnceWithoutRequestOrFallback) {
  const ConfigurationCase& c = GetParam();
  if (c.key_text != "<signer>") settings.release_key_text = c.key_text;
  std::optional<test::NoLocalAppData> unset;
  if (!c.local_app_data) unset.emplace();
  if (c.cancelled) cancel.set();
  install_other("1-working", 1, true);
  if (c.versions_is_file) {
    fs::remove_all(versions());
    test::write_file(versions(), "not a folder");
  }

  EXPECT_EQ(failure(), c.error);
  EXPECT_TRUE(server.requests().empty());
  EXPECT_EQ(messages(), std::vector<std::string>{});
}

const std::string kNotConfigured =
    "This launcher has not been configured for distribution. Run deploy/Publish-WindowsHost.ps1.";

INSTANTIATE_TEST_SUITE_P(
    Cases, Configuration,
    testing::Values(
        ConfigurationCase{.name = "empty key", .key_text = "", .error = kNotConfigured},
        ConfigurationCase{.name = "short key", .key_text = std::string(62, 'a'),
                          .error = kNotConfigured},
        ConfigurationCase{.name = "long key", .key_text = std::string(66, 'A'),
                          .error = kNotConfigured},
        ConfigurationCase{.name = "not hexadecimal",
                          .key_text = std::string(63, 'a') + "g",
                          .error = "Invalid embedded release verification key: invalid "
                                   "hexadecimal character at offset 63"},
        ConfigurationCase{.name = "odd digits", .key_text = std::string(63, 'a'),
                          .error = "Invalid embedded release verification key: odd number of "
                                   "hexadecimal digits"},
        ConfigurationCase{.name = "no local application data",
                          .key_text = "<signer>",
                          .local_app_data = false,
                          .error = "Windows local application folder is unavailable"},
        ConfigurationCase{.name = "cancelled before any work", .key_text = "<signer>",
                          .cancelled = true, .error = "Preparation cancelled"},
        ConfigurationCase{.name = "versions folder is a file", .key_text = "<signer>",
                          .versions_is_file = true,
                          .error = "Cannot create the ORVO application folder: " +
                                   platform::os_error(test::kEntryExistsCode).chain_text()}),
    test::NameOfCase{});

TEST_F(LaunchChoice, UpperCaseKeyTextIsTheSameKey) {
  std::string upper = settings.release_key_text;
  std::ranges::transform(upper, upper.begin(), [](char ch) { return static_cast<char>(std::toupper(ch)); });
  settings.release_key_text = upper;
  publish(test::release_files(1), 1);
  EXPECT_EQ(failure().substr(0, 7), "chose 1");
}

// A build for a local release server lets plain HTTP to loopback through; the
// settings say so and the attempt's context carries it to every URL check.
TEST_F(LaunchChoice, TheSettingsLoopbackSwitchReachesTheContext) {
  for (const bool allowed : {false, true}) {
    settings.allow_loopback_http = allowed;
    auto context = configure_attempt(settings, cancel);
    ASSERT_TRUE(context) << context.error().chain_text();
    EXPECT_EQ(context->allow_loopback_http, allowed);
  }
}

}  // namespace
}  // namespace orvo::core
