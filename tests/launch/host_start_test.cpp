// Starting real test hosts from real, signed version folders under a private
// X server: the wait for the window, its limits, cancellation, and the
// fallback from one version to the next with its log lines and messages.
#include "launch/host_start.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/process_control.hpp"
#include "platform/os_error.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/bounded_call.hpp"
#include "support/host/test_host.hpp"
#include "support/host/x_server.hpp"
#include "support/release/release_builder.hpp"
#include "support/release/version_folder.hpp"

namespace orvo::launch {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Version {
  std::string name;
  std::uint64_t sequence = 1;
  std::string behaviour = {};                // lines of the host's behaviour file
  std::optional<std::string> marker = "ok";  // nullopt: never started
  bool with_host = true;                     // false: "ORVO.Host.exe" is missing
  std::size_t extra_bytes = 0;               // a large file, altered after signing
};

// A cache root with signed version folders whose host is the test host.
class HostCache : public test::WithXServer {
 protected:
  HostCache() {
    context_.cache_root = dir_ / "cache";
    std::ranges::copy(signer_.release_key(), context_.release_key.begin());
    fs::create_directories(context_.cache_root / "versions");
  }

  fs::path install(const Version& v) {
    const fs::path folder = context_.cache_root / "versions" / v.name;
    std::vector<test::ReleaseFile> files = {
        {"ORVO.Host.exe", test::test_host_bytes()},
        {std::string(test::kHostBehaviourFile),
         v.behaviour + "\nready_file " + ready_file(v.name).string() + "\n"}};
    if (v.extra_bytes > 0) files.push_back({"data.bin", std::string(v.extra_bytes, 'd')});
    test::write_version_folder(folder, files, signer_.envelope(test::manifest_of(files, v.sequence)),
                               v.marker);
    if (!v.with_host) fs::remove(folder / "ORVO.Host.exe");
    if (v.extra_bytes > 0) test::write_file(folder / "data.bin", std::string(v.extra_bytes, 'e'));
    return folder;
  }

  core::LaunchCandidate candidate(const Version& v, bool cached) {
    const fs::path folder = install(v);
    return {.folder = folder,
            .host_exe = folder / "ORVO.Host.exe",
            .version = "1.0." + std::to_string(v.sequence),
            .cached = cached};
  }

  fs::path ready_file(std::string_view name) const { return dir_ / ("ready-" + std::string(name)); }

  // The log's texts without their time stamps.
  std::vector<std::string> log_texts() const {
    std::vector<std::string> texts;
    if (!fs::exists(log_path_)) return texts;
    std::istringstream lines(test::read_file(log_path_));
    for (std::string line; std::getline(lines, line);)
      texts.push_back(line.substr(line.find("] ") + 2));
    return texts;
  }

  test::TempDir dir_;
  test::ReleaseSigner signer_;
  core::PreparationContext context_;
  fs::path log_path_ = dir_ / "launcher.log";
};

// Code 2 is "file not found" on both systems, each in its own words.
std::string missing_program_error() {
  return "Starting the verified ORVO Host: " + platform::os_error(2).chain_text();
}

// Ends a host that the test was handed.
void end_host(const platform::Process& host) {
  (void)platform::end_process(host, 1);
  (void)platform::wait_for_exit(host);
}

// Acts once the file exists (the host has shown its window), or once the log
// holds a line with the given text.
class When {
 public:
  When(fs::path file, std::function<void()> action, std::string text = {})
      : thread_([this, file = std::move(file), action = std::move(action),
                 text = std::move(text)] {
          while (!stop_) {
            if (fs::exists(file) &&
                (text.empty() || test::read_file(file).find(text) != std::string::npos)) {
              action();
              return;
            }
            std::this_thread::sleep_for(1ms);
          }
        }) {}
  When(const When&) = delete;
  When& operator=(const When&) = delete;
  ~When() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

std::function<void()> setting(const core::CancelFlag& flag) {
  return [flag] { flag.set(); };
}

// A clock for the wait whose start instant is read only once the host has
// shown its window (its ready file exists), however long a busy machine took
// to get it there; every later reading runs `ahead` of the real clock.
std::function<std::chrono::steady_clock::time_point()> clock_from_window(
    fs::path ready_file, std::chrono::milliseconds ahead = 0ms) {
  auto started = std::make_shared<bool>(false);
  return [ready_file = std::move(ready_file), ahead, started] {
    if (*started) return std::chrono::steady_clock::now() + ahead;
    *started = true;
    (void)test::wait_for_ready_file(ready_file);
    return std::chrono::steady_clock::now();
  };
}

TEST(ExitStatusText, DecimalUnlessBit31IsSet) {
  const struct {
    std::uint32_t code;
    std::string text;
  } cases[] = {{0, "exit code: 0"},
               {1, "exit code: 1"},
               {0x7FFF'FFFF, "exit code: 2147483647"},
               {0x8000'0000, "exit code: 0x80000000"},
               {0xC000'0005, "exit code: 0xc0000005"},
               {0xFFFF'FFFF, "exit code: 0xffffffff"}};
  for (const auto& c : cases) EXPECT_EQ(exit_status_text(c.code), c.text);
}

class StartHost : public HostCache {};

TEST_F(StartHost, AWindowThatAnswersAtOnceCountsOnlyAfterTwoSeconds) {
  const auto before = std::chrono::steady_clock::now();
  auto host = start_host(candidate({.name = "v1"}, false), core::CancelFlag());
  const auto waited = std::chrono::steady_clock::now() - before;
  ASSERT_TRUE(host) << host.error().chain_text();
  EXPECT_GE(waited, 2s);
  const auto running = platform::exit_code_if_ended(*host);
  ASSERT_TRUE(running);
  EXPECT_FALSE(running->has_value()) << "an opened host keeps running";
  end_host(*host);
}

// A minimised window is a shown one, as on the desktop the product runs on.
TEST_F(StartHost, AHostWhoseWindowStartsMinimisedOpens) {
  const HostWaitLimits limits{.earliest_success = 0ms, .limit = 30000ms};
  auto host = start_host(candidate({.name = "v1", .behaviour = "iconic"}, false),
                         core::CancelFlag(), limits);
  ASSERT_TRUE(host) << host.error().chain_text();
  end_host(*host);
}

TEST_F(StartHost, AHostThatExitsBeforeItsWindowFailsWithItsExitCode) {
  const struct {
    std::string behaviour;
    std::string error;
  } cases[] = {
      {"exit_code 0", "ORVO Host exited before opening its window (exit code: 0)"},
      {"delay_ms 300\nexit_code 7", "ORVO Host exited before opening its window (exit code: 7)"},
      {"exit_after_ms 200", "ORVO Host exited before opening its window (exit code: 0)"},
  };
  // No window counts until long after the host is gone, however slowly it came up.
  const HostWaitLimits limits{.earliest_success = 30s, .limit = 30s};
  int n = 0;
  for (const auto& c : cases) {
    const auto host =
        start_host(candidate({.name = "v" + std::to_string(++n), .behaviour = c.behaviour}, false),
                   core::CancelFlag(), limits);
    ASSERT_FALSE(host) << c.behaviour;
    EXPECT_EQ(host.error().chain_text(), c.error);
  }
}

TEST_F(StartHost, AMissingProgramFailsWithTheSystemError) {
  const auto host =
      start_host(candidate({.name = "v1", .with_host = false}, false), core::CancelFlag());
  ASSERT_FALSE(host);
  EXPECT_EQ(host.error().chain_text(), missing_program_error());
}

// With a shorter limit than the product's, so that the test does not wait 30 s;
// it counts from the window, so that a slow start cannot use it up.
TEST_F(StartHost, AHostWithoutAnAnsweringWindowIsEndedAfterTheLimit) {
  for (const std::string behaviour : {"hang", "title ORVO Host ", "hidden"}) {
    const std::string name = "v" + std::to_string(behaviour.size());
    const HostWaitLimits limits{
        .earliest_success = 0ms, .limit = 1500ms, .clock = clock_from_window(ready_file(name))};
    const auto host = start_host(candidate({.name = name, .behaviour = behaviour}, false),
                                 core::CancelFlag(), limits);
    ASSERT_FALSE(host) << behaviour;
    EXPECT_EQ(host.error().chain_text(),
              "ORVO Host did not open a responsive window within 30 seconds");
    const auto pid = test::wait_for_ready_file(ready_file(name));
    ASSERT_TRUE(pid) << behaviour << ": the host never came as far as its window";
    EXPECT_FALSE(test::process_exists(*pid)) << behaviour << ": the host was ended and awaited";
  }
}

TEST_F(StartHost, ReadinessIsTestedBeforeTheLimit) {
  // The first poll begins once the window is there, and by the clock past the
  // limit, as every later one; a ready window still wins it.
  const HostWaitLimits limits{.earliest_success = 1000ms,
                              .limit = 1000ms,
                              .clock = clock_from_window(ready_file("v1"), 1001ms)};
  auto host = start_host(candidate({.name = "v1"}, false), core::CancelFlag(), limits);
  ASSERT_TRUE(host) << host.error().chain_text();
  end_host(*host);
}

TEST_F(StartHost, WithoutADisplayTheWaitRunsOutWithoutFailingOtherwise) {
  if (!test::display_named_by_environment()) GTEST_SKIP() << "this desktop is always there";
  test::ScopedVariable no_display("DISPLAY", std::nullopt);
  const HostWaitLimits limits{.earliest_success = 0ms, .limit = 500ms};
  const auto host = start_host(candidate({.name = "v1", .behaviour = "delay_ms 60000"}, false),
                               core::CancelFlag(), limits);
  ASSERT_FALSE(host);
  EXPECT_EQ(host.error().chain_text(),
            "ORVO Host did not open a responsive window within 30 seconds");
}

TEST_F(StartHost, CancellingEndsTheHost) {
  for (const bool before_start : {true, false}) {
    const std::string name = before_start ? "early" : "waiting";
    core::CancelFlag cancel;
    if (before_start) cancel.set();
    std::optional<When> canceller;
    if (!before_start) canceller.emplace(ready_file(name), setting(cancel));
    const auto host = start_host(candidate({.name = name, .behaviour = "hang"}, false), cancel);
    ASSERT_FALSE(host) << name;
    EXPECT_EQ(host.error().chain_text(), "Preparation cancelled") << name;
    if (!before_start) {
      const auto pid = test::wait_for_ready_file(ready_file(name));
      ASSERT_TRUE(pid);
      EXPECT_FALSE(test::process_exists(*pid)) << "the host was ended and awaited";
    }
  }
}

// The wait's own bounds hold while the X server answers nothing: frozen
// before the host starts (a connection to it cannot even be set up), or once
// the host has shown its window, amid the searches.
TEST_F(StartHost, AFrozenServerHoldsUpNeitherCancellingNorTheLimit) {
  const struct {
    std::string name;
    bool once_shown;
    bool cancel;
  } cases[] = {{"before-cancel", false, true},
               {"before-limit", false, false},
               {"shown-cancel", true, true},
               {"shown-limit", true, false}};
  for (const auto& c : cases) {
    const auto host_candidate = candidate({.name = c.name, .behaviour = "hang"}, false);
    core::CancelFlag cancel;
    // Without cancelling, only the limit can end the wait in time; once the
    // window is shown, the limit counts from there.
    const HostWaitLimits limits{
        .earliest_success = 0ms,
        .limit = c.cancel ? 30s : 1500ms,
        .clock = c.once_shown ? clock_from_window(ready_file(c.name)) : HostWaitLimits{}.clock};
    std::atomic<bool> frozen{false};
    const auto freeze = [&] {
      server().freeze();
      frozen = true;
    };
    std::optional<When> freezer;
    if (c.once_shown) {
      freezer.emplace(ready_file(c.name), freeze);
    } else {
      freeze();
    }
    // Half a second into the freeze.
    std::jthread canceller([&](std::stop_token stop) {
      if (!c.cancel) return;
      while (!frozen && !stop.stop_requested()) std::this_thread::sleep_for(1ms);
      for (int i = 0; i < 500 && !stop.stop_requested(); ++i) std::this_thread::sleep_for(1ms);
      if (!stop.stop_requested()) cancel.set();
    });

    std::optional<core::Result<platform::Process>> host;
    const bool in_time = test::ends_within(
        20s, [&] { host = start_host(host_candidate, cancel, limits); },
        [&] {
          server().thaw();
          cancel.set();
        });
    canceller.request_stop();
    canceller.join();
    freezer.reset();
    server().thaw();

    EXPECT_TRUE(in_time) << c.name << ": the wait outlasted its bound by far";
    EXPECT_TRUE(frozen) << c.name;
    ASSERT_TRUE(host && !*host) << c.name;
    EXPECT_EQ(host->error().chain_text(),
              c.cancel ? "Preparation cancelled"
                       : "ORVO Host did not open a responsive window within 30 seconds")
        << c.name;
    if (c.once_shown) {
      const auto pid = test::wait_for_ready_file(ready_file(c.name));
      ASSERT_TRUE(pid) << c.name;
      EXPECT_FALSE(test::process_exists(*pid)) << c.name << ": the host was ended and awaited";
    }
  }
}

// What open_host sent: the progress texts, and the host if Launched came.
struct Sent {
  std::vector<std::string> progress;
  std::optional<platform::Process> host;
};

Sent drain(core::WorkerReceiver& receiver) {
  Sent sent;
  for (auto message = receiver.try_receive(); message; message = receiver.try_receive()) {
    if (auto* progress = std::get_if<core::Progress>(&*message)) {
      EXPECT_EQ(progress->mode, core::ProgressMode::Determinate);
      EXPECT_EQ(progress->percent, 100U);
      sent.progress.push_back(progress->text);
    } else if (auto* launched = std::get_if<core::Launched>(&*message)) {
      EXPECT_FALSE(sent.host) << "Launched came twice";
      sent.host = std::move(launched->host);
    } else {
      ADD_FAILURE() << "open_host sent Failed";
    }
  }
  return sent;
}

const std::string kFirst(kOpeningText);
const std::string kPrevious(kOpeningPreviousText);

class OpenHost : public HostCache {
 protected:
  core::Result<void> open(core::LaunchCandidate first, const core::CancelFlag& cancel = {}) {
    return open_host(context_, std::move(first), channel_.first, log_path_, cancel);
  }

  std::pair<core::WorkerSender, core::WorkerReceiver> channel_ =
      core::make_channel<core::WorkerMessage>();
  core::WorkerReceiver& receiver_ = channel_.second;
};

TEST_F(OpenHost, AnOpenedVersionIsMarkedWorkingLoggedAndLaunched) {
  const auto first = candidate({.name = "new", .marker = std::nullopt}, false);
  ASSERT_TRUE(open(first));
  Sent sent = drain(receiver_);
  EXPECT_EQ(sent.progress, std::vector<std::string>{kFirst});
  ASSERT_TRUE(sent.host);
  end_host(*sent.host);
  EXPECT_EQ(log_texts(), std::vector<std::string>{"Opened Host 1.0.1 (cached: false)"});
  EXPECT_EQ(test::read_file(first.folder / ".orvo-working"), "ok");
}

TEST_F(OpenHost, AMissingProgramFallsBackToThePreviousWorkingVersion) {
  install({.name = "old", .sequence = 2});
  ASSERT_TRUE(open(candidate(
      {.name = "new", .sequence = 3, .marker = std::nullopt, .with_host = false}, false)));
  Sent sent = drain(receiver_);
  EXPECT_EQ(sent.progress, (std::vector<std::string>{kFirst, kPrevious}));
  ASSERT_TRUE(sent.host);
  end_host(*sent.host);
  EXPECT_EQ(log_texts(),
            (std::vector<std::string>{"Host 1.0.3 startup failed: " + missing_program_error(),
                                      "Opened Host 1.0.2 (cached: true)"}));
}

TEST_F(OpenHost, WhenEveryVersionFailsEachIsTriedOnceAndTheLastFailureIsReported) {
  // The first candidate is also the newest working version: it is not started again.
  const auto first = candidate({.name = "v3", .sequence = 3, .behaviour = "exit_code 4"}, true);
  install({.name = "v2", .sequence = 2, .behaviour = "exit_code 3"});
  install({.name = "v1", .sequence = 1, .behaviour = "exit_code 0"});
  const auto result = open(first);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().chain_text(),
            "Could not open Host (ORVO Host exited before opening its window (exit code: 0)); "
            "no other working version is available: No intact, previously launched ORVO "
            "installation was found");
  EXPECT_EQ(log_texts(),
            (std::vector<std::string>{
                "Host 1.0.3 startup failed: ORVO Host exited before opening its window (exit "
                "code: 4)",
                "Host 1.0.2 startup failed: ORVO Host exited before opening its window (exit "
                "code: 3)",
                "Host 1.0.1 startup failed: ORVO Host exited before opening its window (exit "
                "code: 0)"}));
  const Sent sent = drain(receiver_);
  EXPECT_EQ(sent.progress, (std::vector<std::string>{kFirst, kPrevious, kPrevious}));
  EXPECT_FALSE(sent.host);
  for (const char* name : {"v1", "v2", "v3"}) {
    const fs::path folder = context_.cache_root / "versions" / name;
    EXPECT_EQ(test::read_file(folder / ".orvo-working"), "ok") << name;
    EXPECT_TRUE(fs::exists(folder / "ORVO.Host.exe")) << name;
  }
}

TEST_F(OpenHost, CancellingDuringTheWaitEndsTheHostWithoutAStartupFailedLine) {
  install({.name = "old", .sequence = 1});
  core::CancelFlag cancel;
  const When canceller(ready_file("new"), setting(cancel));
  const auto result =
      open(candidate({.name = "new", .sequence = 2, .behaviour = "hang"}, false), cancel);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().chain_text(), "Preparation cancelled");
  EXPECT_TRUE(log_texts().empty());
  const Sent sent = drain(receiver_);
  EXPECT_EQ(sent.progress, std::vector<std::string>{kFirst});
  EXPECT_FALSE(sent.host);
  const auto pid = test::wait_for_ready_file(ready_file("new"));
  ASSERT_TRUE(pid);
  EXPECT_FALSE(test::process_exists(*pid));
}

TEST_F(OpenHost, CancellingDuringTheSearchForTheNextVersionStandsInTheFinalError) {
  // The working version's large altered file keeps the search busy hashing
  // long enough for the flag to be set once the failure is logged.
  install({.name = "old", .sequence = 1, .extra_bytes = 64 * 1024 * 1024});
  core::CancelFlag cancel;
  const When canceller(log_path_, setting(cancel), "startup failed");
  const auto result =
      open(candidate({.name = "new", .sequence = 2, .with_host = false}, false), cancel);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().chain_text(),
            "Could not open Host (" + missing_program_error() +
                "); no other working version is available: Preparation cancelled");
  EXPECT_EQ(log_texts().size(), 1U);
}

TEST_F(OpenHost, AVersionThatCannotBeMarkedWorkingIsStillLaunched) {
  const auto first = candidate({.name = "v1", .marker = std::nullopt}, true);
  // No marker can take the place of a folder.
  fs::create_directory(first.folder / ".orvo-working");
  ASSERT_TRUE(open(first));
  Sent sent = drain(receiver_);
  ASSERT_TRUE(sent.host);
  end_host(*sent.host);
  EXPECT_EQ(log_texts(),
            (std::vector<std::string>{
                "Host opened, but cache could not be marked working: Unexpected installed "
                "folder: .orvo-working",
                "Opened Host 1.0.1 (cached: true)"}));
  EXPECT_TRUE(fs::is_directory(first.folder / ".orvo-working"));
}

TEST_F(OpenHost, WithTheWindowGoneTheLaunchedHostKeepsRunning) {
  { const core::WorkerReceiver gone = std::move(receiver_); }
  ASSERT_TRUE(open(candidate({.name = "v1"}, false)));
  const auto pid = test::wait_for_ready_file(ready_file("v1"));
  ASSERT_TRUE(pid);
  EXPECT_TRUE(test::process_exists(*pid));
  test::end_process_by_id(*pid);
}

}  // namespace
}  // namespace orvo::launch
