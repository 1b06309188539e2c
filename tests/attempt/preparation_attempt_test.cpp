// Whole attempts, from the release server on 127.0.0.1 to a test host whose
// window opens on a private X server: what is sent, what is logged, what is
// left on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "attempt/preparation_attempt_fixture.hpp"
#include "core/release/sha256.hpp"
#include "support/fs/file_events.hpp"
#include "support/host/test_host.hpp"
#include "support/suite/case_name.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

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

// The wait for the host's window runs on the limits the settings carry, so
// that a caller can give it another clock or limit than the product's.
TEST_F(PreparationAttempt, TheHostWaitRunsOnTheSettingsLimits) {
  publish(host_release(2), 2);
  auto readings = std::make_shared<std::atomic<int>>(0);
  settings.host_wait.earliest_success = std::chrono::milliseconds(0);
  settings.host_wait.clock = [readings] {
    ++*readings;
    return std::chrono::steady_clock::now();
  };
  const auto seen = run();
  ASSERT_EQ(seen.back(), "Launched");
  EXPECT_GT(readings->load(), 0);
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

// ---- Cancellation, wherever it strikes.

constexpr std::uint64_t kLargestFile = 536'870'912;

// The SHA-256 of kLargestFile zero bytes, computed once.
const std::string& large_file_digest() {
  static const std::string digest = [] {
    core::Sha256 hash;
    const std::vector<std::byte> zeros(1 << 20);
    for (std::uint64_t done = 0; done < kLargestFile; done += zeros.size()) hash.update(zeros);
    return hash.finish_hex();
  }();
  return digest;
}

class Cancelled;

// What the cancelled step does once per item, as the system reports it in
// the folders named "data": the first of the kinds that it reports (a file
// closed after reading or writing; Windows tells only of a file created).
struct StepItems {
  std::vector<test::FileEventKind> kinds;
  int total = 0;  // items the step has when it is not stopped

  std::optional<test::FileEventKind> reported_kind() const {
    const auto kind = std::ranges::find_if(kinds, &test::FileEvents::reports);
    if (kind == kinds.end()) return std::nullopt;
    return *kind;
  }
};

struct CancelCase {
  std::string name;
  // Fills the cache and the server.
  std::function<void(Cancelled&)> arrange;
  std::function<bool(const Cancelled&, const std::vector<std::string>& seen)> cancel_when;
  std::string last_progress;  // how the last message before Failed begins
  std::string failed;         // the Failed text, also the one log line
  bool falls_back = false;
  bool package_requested = false;
  bool needs_display = false;
  // The step's items: it stops at the one it has begun when the flag is set.
  std::optional<StepItems> step = std::nullopt;
};

// Counts the step's items as they are done, from a thread of its own, so that
// a folder the step makes is watched before it fills.
class StepCounter {
 public:
  StepCounter(const fs::path& root, test::FileEventKind kind)
      : events_(root), kind_(kind), thread_([this](const std::stop_token& stop) {
          // A pace for watching new folders; the counts themselves come from done().
          while (!stop.stop_requested()) {
            {
              const std::lock_guard lock(mutex_);
              take();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
        }) {}

  // The items done so far, every event until now counted.
  int done() {
    const std::lock_guard lock(mutex_);
    take();
    return done_;
  }

 private:
  void take() {
    while (const auto event = events_.next(std::chrono::milliseconds(0))) {
      if (!event->is_folder && event->kind == kind_ && event->folder.filename() == "data") {
        ++done_;
      }
    }
  }

  std::mutex mutex_;
  test::FileEvents events_;
  const test::FileEventKind kind_;
  int done_ = 0;
  std::jthread thread_;
};

class Cancelled : public PreparationAttempt, public testing::WithParamInterface<CancelCase> {
 protected:
  void SetUp() override {
    if (GetParam().needs_display) PreparationAttempt::SetUp();
  }

 public:
  using PreparationAttempt::host_release;
  using PreparationFixture::install;
  using PreparationFixture::install_other;
  using PreparationFixture::package_bytes;
  using PreparationFixture::publish;
  using PreparationFixture::requested;
  using PreparationFixture::server;

  fs::path ready_file() const { return dir / "host-ready"; }

  // A release of three files of the largest size (sparse, read as zeros)
  // beside the host, intact: checking a copy reads 1.5 GiB, so a
  // cancellation strikes inside the check, and one that came too late would
  // show, as the check would pass and the attempt go on.
  std::string install_large(std::string_view name, std::uint64_t sequence, bool working) {
    const auto files = test::release_files(sequence);
    core::Manifest manifest = test::manifest_of(files, sequence);
    manifest.package_url = server.url(test::kPackageTarget);
    for (int i = 0; i < 3; ++i) {
      manifest.files.push_back({.path = "data/large-" + std::to_string(i) + ".bin",
                                .size = kLargestFile,
                                .sha256 = large_file_digest()});
    }
    const std::string envelope = signer.envelope(manifest);
    const fs::path folder = install(name, files, envelope, working);
    for (std::size_t i = files.size(); i < manifest.files.size(); ++i) {
      const fs::path large = folder / manifest.files[i].path;
      fs::create_directories(large.parent_path());
      test::write_file(large, "");
      fs::resize_file(large, kLargestFile);
    }
    return envelope;
  }

  // The version folders, each with a "*" when it is marked working.
  std::vector<std::string> version_state() const {
    std::vector<std::string> state;
    for (const auto& name : entries_of(versions())) {
      state.push_back(name + (fs::exists(versions() / name / ".orvo-working") ? "*" : ""));
    }
    return state;
  }
};

bool has_seen(const std::vector<std::string>& seen, std::string_view message) {
  return std::ranges::find(seen, message) != seen.end();
}

std::function<bool(const Cancelled&, const std::vector<std::string>&)> on_message(
    std::string message) {
  return [message](const Cancelled&, const std::vector<std::string>& seen) {
    return has_seen(seen, message);
  };
}

TEST_P(Cancelled, EndsTheAttemptLeavingTheVersionsAsTheyWere) {
  const CancelCase& c = GetParam();
  c.arrange(*this);
  const auto versions_before = version_state();

  // The step itself stopped, not only a later check that gives the same end:
  // at most the item it was at when the flag was set is done after it. Where
  // the system reports none of the step's kinds, the end still shows it.
  std::optional<StepCounter> step;
  if (const auto kind = c.step ? c.step->reported_kind() : std::nullopt) {
    step.emplace(dir.path(), *kind);
  }
  std::optional<int> done_when_set;
  const auto seen = run([&](const std::vector<std::string>& so_far) {
    const bool now = c.cancel_when(*this, so_far);
    if (now && step) done_when_set = step->done();
    return now;
  });
  if (step) {
    const int done = step->done();
    ASSERT_TRUE(done_when_set);
    EXPECT_LE(done, *done_when_set + 1) << "items done when the flag was set: " << *done_when_set;
    EXPECT_LT(done, c.step->total);
  }
  EXPECT_EQ(seen.back(), "Failed: " + c.failed);
  // Nothing goes on after the step that was cancelled.
  ASSERT_GE(seen.size(), 2u);
  EXPECT_TRUE(seen[seen.size() - 2].starts_with(c.last_progress)) << seen[seen.size() - 2];
  EXPECT_EQ(log_lines(), std::vector<std::string>{c.failed});
  EXPECT_EQ(has_seen(seen, "Could not update. Checking the saved version…"), c.falls_back);
  EXPECT_EQ(requested(test::kPackageTarget), c.package_requested);
  EXPECT_EQ(version_state(), versions_before);
  EXPECT_EQ(staging_folders(), std::vector<std::string>{});
  // A host that was started is ended.
  if (fs::exists(ready_file())) {
    EXPECT_FALSE(test::process_exists(std::stoi(test::read_file(ready_file()))));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Cancelled,
    testing::Values(
        CancelCase{
            .name = "package download",
            .arrange =
                [](Cancelled& t) {
                  t.install_other("1-working", 1, true);
                  const auto release = t.publish(test::release_files(2), 2);
                  test::Answer gated = test::Answer::body(t.package_bytes(release).substr(0, 100));
                  gated.framing = test::Framing::Chunked;
                  gated.pieces.push_back("never sent");
                  gated.gated = true;
                  t.server.on(std::string(test::kPackageTarget), gated);
                },
            .cancel_when = [](const Cancelled& t, const std::vector<std::string>&) {
              return t.requested(test::kPackageTarget);
            },
            .last_progress = "Downloading ORVO Support… ",
            .failed = "Preparation cancelled",
            .package_requested = true},
        CancelCase{
            .name = "installed-copy check",
            .arrange =
                [](Cancelled& t) {
                  const std::string envelope = t.install_large("4-copy", 4, false);
                  t.server.on(std::string(test::kManifestTarget), test::Answer::body(envelope));
                },
            .cancel_when = on_message("Checking your installed files… 10"),
            .last_progress = "Checking your installed files… 10",
            .failed = "Preparation cancelled",
            .step = StepItems{.kinds = {test::FileEventKind::ClosedAfterRead}, .total = 3}},
        CancelCase{
            .name = "extraction",
            .arrange =
                [](Cancelled& t) {
                  // Each extracted file is flushed to disk: extracting them all takes long.
                  std::vector<test::ReleaseFile> files = test::release_files(5);
                  for (int i = 0; i < 500; ++i) {
                    files.push_back({"data/" + std::to_string(i) + ".txt", std::to_string(i)});
                  }
                  t.publish(files, 5);
                },
            .cancel_when = on_message("Preparing your support app… 80"),
            .last_progress = "Preparing your support app… 80",
            .failed = "Preparation cancelled",
            .package_requested = true,
            .step = StepItems{.kinds = {test::FileEventKind::ClosedAfterWrite,
                                        test::FileEventKind::Created},
                              .total = 500}},
        CancelCase{
            .name = "fallback search",
            .arrange =
                [](Cancelled& t) {
                  t.install_large("6-working", 6, true);
                  t.publish(test::release_files(3), 3);  // older: refused
                },
            .cancel_when = on_message("Could not update. Checking the saved version…"),
            .last_progress = "Could not update. Checking the saved version…",
            .failed = "ORVO could not be prepared, and no verified working copy is available "
                      "(Preparation cancelled): The server offered an older release; refusing "
                      "to downgrade",
            .falls_back = true,
            .step = StepItems{.kinds = {test::FileEventKind::ClosedAfterRead}, .total = 3}},
        CancelCase{
            .name = "host start",
            .arrange =
                [](Cancelled& t) {
                  // A host whose window never answers, so the wait goes on until cancelled.
                  const auto files =
                      t.host_release(7, "hang\nready_file " + t.ready_file().string() + "\n");
                  const auto release = t.publish(files, 7);
                  t.install("7-installed", files, release.envelope, false);
                },
            .cancel_when = [](const Cancelled& t, const std::vector<std::string>&) {
              return fs::exists(t.ready_file());
            },
            .last_progress = "Opening ORVO Support… 100",
            .failed = "Preparation cancelled",
            .needs_display = true}),
    test::NameOfCase{});

}  // namespace
}  // namespace orvo::core
