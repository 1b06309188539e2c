// The choice of what to start when the update path fails: the newest intact
// working version, or the final error; an unreachable server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <regex>
#include <thread>

#include "attempt/launch_choice_fixture.hpp"
#include "core/release/sha256.hpp"
#include "support/fs/special_files.hpp"
#include "support/suite/case_name.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

// ---- Refused releases fall back to the newest intact working version.

struct RefusalCase {
  std::string name;
  std::uint64_t offered;
  std::vector<std::uint64_t> installed;  // all working, named "<sequence>-installed"
  std::string error;
  std::string fallback;
};

class Refusal : public LaunchChoice, public testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusal, FallsBackToTheNewestWorkingVersion) {
  const RefusalCase& c = GetParam();
  publish(test::release_files(c.offered + 100), c.offered);  // other contents than any installed
  for (std::uint64_t sequence : c.installed) {
    install_other(std::to_string(sequence) + "-installed", sequence, true);
  }

  auto chosen = choose();
  ASSERT_TRUE(chosen) << chosen.error().chain_text();
  EXPECT_EQ(chosen->candidate.folder.filename(), c.fallback);
  EXPECT_TRUE(chosen->candidate.cached);
  EXPECT_FALSE(requested(test::kPackageTarget));
  EXPECT_EQ(messages(), (std::vector<std::string>{"Checking for ORVO updates…",
                                                  "Could not update. Checking the saved version…",
                                                  "Starting your previously installed version… 100"}));

  // Without the working versions the refusal itself is the final error.
  for (std::uint64_t sequence : c.installed) {
    fs::remove(versions() / (std::to_string(sequence) + "-installed") / ".orvo-working");
  }
  EXPECT_EQ(failure(), std::string(kNoCopy) + c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Refusal,
    testing::Values(
        RefusalCase{"downgrade", 7, {5, 8},
                    "The server offered an older release; refusing to downgrade", "8-installed"},
        RefusalCase{"sequence reused", 8, {5, 8},
                    "The release sequence was reused for different contents", "8-installed"}),
    test::NameOfCase{});

// ---- An unreachable server.

TEST_F(LaunchChoice, UnreachableServerWithoutWorkingVersion) {
  {
    test::TlsServer gone;
    settings.manifest_url = gone.url(test::kManifestTarget);
  }
  install_other("1-never-started", 1, false);
  const std::string text = failure();
  const std::string expected = std::string(kNoCopy) + "Cannot reach the ORVO download server: ";
  EXPECT_TRUE(text.starts_with(expected) && text.size() > expected.size()) << text;
}

TEST_F(LaunchChoice, UnreachableServerStartsTheWorkingVersion) {
  {
    test::TlsServer gone;
    settings.manifest_url = gone.url(test::kManifestTarget);
  }
  install_other("1-working", 1, true);
  auto chosen = choose();
  ASSERT_TRUE(chosen) << chosen.error().chain_text();
  EXPECT_EQ(chosen->candidate.folder, versions() / "1-working");
  EXPECT_EQ(messages(), (std::vector<std::string>{"Checking for ORVO updates…",
                                                  "Could not update. Checking the saved version…",
                                                  "Starting your previously installed version… 100"}));
}

TEST_F(LaunchChoice, ManifestUrlThatFailsTheRuleIsAnUpdateError) {
  settings.manifest_url = "http://127.0.0.1/downloads/host/win-x64/latest.json";
  install_other("1-working", 1, true);
  auto chosen = choose();
  ASSERT_TRUE(chosen) << chosen.error().chain_text();
  EXPECT_TRUE(server.requests().empty());
  EXPECT_EQ(messages().front(), "Could not update. Checking the saved version…");
}

}  // namespace
}  // namespace orvo::core
