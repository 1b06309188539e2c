// Whole attempts, from the release server on 127.0.0.1 to a test host whose
// window opens on a private X server: what is sent, what is logged, what is
// left on disk.
#include "core/attempt/preparation_attempt.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <regex>
#include <sstream>

#include "platform/process_control.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/scoped_working_folder.hpp"
#include "support/host/test_host.hpp"
#include "support/host/x_server.hpp"
#include "support/suite/preparation_fixture.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

class PreparationAttempt : public test::PreparationFixture {
 protected:
  void SetUp() override {
    if (!test::xvfb_installed()) GTEST_SKIP() << "Xvfb is not installed";
    x_server.emplace();
  }

  // A release whose host opens its window, or behaves as the lines say.
  static std::vector<test::ReleaseFile> host_release(std::uint64_t sequence,
                                                     std::string behaviour = {}) {
    return {{"ORVO.Host.exe", test::test_host_bytes()},
            {std::string(test::kHostBehaviourFile), behaviour},
            {"version.txt", "release " + std::to_string(sequence)}};
  }

  fs::path log_path() const { return cache_root() / "launcher.log"; }

  // Runs one attempt to its end and returns everything it sent, described; a
  // started host is ended, so that none outlives the test.
  std::vector<std::string> run() {
    run_preparation(sender, log_path(), cancel, settings);
    std::vector<std::string> seen;
    while (auto message = channel.second.try_receive()) {
      seen.push_back(test::describe(*message));
      if (auto* launched = std::get_if<Launched>(&*message)) {
        EXPECT_TRUE(platform::end_process(launched->host, 1));
        EXPECT_TRUE(platform::wait_for_exit(launched->host));
      }
    }
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
    if (!fs::exists(log_path())) return lines;
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

TEST_F(PreparationAttempt, NewReleaseIsDownloadedActivatedStartedAndMarkedWorking) {
  publish(host_release(2), 2);
  const auto seen = run();

  ASSERT_EQ(seen.back(), "Launched");
  EXPECT_EQ(seen[seen.size() - 3], "ORVO Support is ready… 100");
  EXPECT_EQ(seen[seen.size() - 2], "Opening ORVO Support… 100");
  const auto names = entries_of(versions());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(test::read_file(versions() / names[0] / ".orvo-working"), "ok");
  EXPECT_EQ(log_lines(), std::vector<std::string>{"Opened Host 1.0.2 (cached: false)"});
}

// An empty LOCALAPPDATA makes the cache root relative to the launcher's
// working folder; the host, which runs in its version folder, still starts.
TEST_F(PreparationAttempt, AnEmptyLocalAppDataGivesACacheBesideTheLauncherThatStillStarts) {
  const test::ScopedVariable empty("LOCALAPPDATA", "");
  const test::ScopedWorkingFolder here(dir.path());
  publish(host_release(2), 2);
  const auto seen = run();

  ASSERT_EQ(seen.back(), "Launched") << seen.back();
  const auto names = entries_of(versions());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(test::read_file(versions() / names[0] / ".orvo-working"), "ok");
  EXPECT_EQ(log_lines(), std::vector<std::string>{"Opened Host 1.0.2 (cached: false)"});
}

TEST_F(PreparationAttempt, IntactInstalledCopyIsStartedWithoutDownload) {
  const auto release = publish(host_release(3), 3);
  install("3-installed", host_release(3), release.envelope, false);
  const auto seen = run();

  EXPECT_EQ(seen, (std::vector<std::string>{"Checking for ORVO updates…",
                                            "Checking your installed files… 10",
                                            "Opening ORVO Support… 100", "Launched"}));
  EXPECT_FALSE(requested(test::kPackageTarget));
  EXPECT_EQ(log_lines(), std::vector<std::string>{"Opened Host 1.0.3 (cached: true)"});
  EXPECT_EQ(test::read_file(versions() / "3-installed" / ".orvo-working"), "ok");
}

TEST_F(PreparationAttempt, FailedUpdateFallsBackToTheWorkingVersionAndLogsNoUpdateError) {
  publish(host_release(4), 4);
  server.on(std::string(test::kPackageTarget), test::Answer::status_only(404, "Not Found"));
  const auto files = host_release(1);
  install("1-working", files, signer.envelope(test::manifest_of(files, 1)), true);
  const auto seen = run();

  EXPECT_EQ(std::vector<std::string>(seen.end() - 4, seen.end()),
            (std::vector<std::string>{"Could not update. Checking the saved version…",
                                      "Starting your previously installed version… 100",
                                      "Opening ORVO Support… 100", "Launched"}));
  EXPECT_EQ(log_lines(), std::vector<std::string>{"Opened Host 1.0.1 (cached: true)"});
}

TEST_F(PreparationAttempt, FinalFailureIsTheOneLogLineAndTheFailedText) {
  {
    test::TlsServer gone;
    settings.manifest_url = gone.url(test::kManifestTarget);
  }
  const auto seen = run();

  const std::string prefix =
      "ORVO could not be prepared, and no verified working copy is available (No intact, "
      "previously launched ORVO installation was found): Cannot reach the ORVO download server: ";
  ASSERT_TRUE(seen.back().starts_with("Failed: " + prefix)) << seen.back();
  EXPECT_EQ(log_lines(), std::vector<std::string>{seen.back().substr(8)});
}

TEST_F(PreparationAttempt, ConfigurationErrorIsLoggedAndSentAlike) {
  settings.release_key_text.clear();
  const auto seen = run();
  const std::string text =
      "This launcher has not been configured for distribution. Run deploy/Publish-WindowsHost.ps1.";
  EXPECT_EQ(seen, std::vector<std::string>{"Failed: " + text});
  EXPECT_EQ(log_lines(), std::vector<std::string>{text});
}

TEST_F(PreparationAttempt, ActivatedVersionWhoseHostFailsStaysUnmarked) {
  publish(host_release(5, "exit_code 3\n"), 5);
  const auto seen = run();

  ASSERT_TRUE(seen.back().starts_with("Failed: Could not open Host")) << seen.back();
  const auto names = entries_of(versions());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_FALSE(fs::exists(versions() / names[0] / ".orvo-working"));
  const auto lines = log_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with("Host 1.0.5 startup failed: ")) << lines[0];
  EXPECT_EQ(lines[1], seen.back().substr(8));
}

}  // namespace
}  // namespace orvo::core
