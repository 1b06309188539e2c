// Attempt control against a window that records what is done to it: every
// state and transition of the window's attempt state, with real attempt
// threads and, where a host is ended, a real child process.
#include "ui/attempt_control.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/process_control.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"
#include "ui/recording_window.hpp"

namespace orvo::ui {
namespace {

using Ops = std::vector<std::string>;

const std::string kPreparing = "text status Preparing ORVO Support\u2026";
const Ops kStartOps = {"enable cancel", kPreparing,     "text cancel Cancel", "hide retry",
                       "hide details",  "show progress", "marquee"};
const Ops kFailureOps = {
    "text status ORVO couldn't open. Check your internet connection and choose Retry. If it "
    "keeps happening, contact your support person.",
    "hide progress", "show retry", "show details", "text cancel Close", "focus retry"};
const Ops kCancelOps = {"text status Cancelling. Please wait...", "disable cancel"};

// What the attempt threads were handed, in the order they started.
struct StartedAttempts {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<AttemptValues> values;
  std::vector<std::thread::id> threads;
};

class AttemptControl : public testing::Test {
 protected:
  AttemptControl() {
    record.attempt = [started = started](AttemptValues values) {
      std::lock_guard lock(started->mutex);
      started->values.push_back(std::move(values));
      started->threads.push_back(std::this_thread::get_id());
      started->arrived.notify_all();
    };
  }

  // Waits (generously) until this many attempts have started; their values stay here.
  AttemptValues& attempt(std::size_t number) {
    std::unique_lock lock(started->mutex);
    const bool came = started->arrived.wait_for(lock, std::chrono::seconds(20),
                                                [&] { return started->values.size() >= number; });
    if (!came) throw std::runtime_error("attempt " + std::to_string(number) + " never started");
    return started->values[number - 1];
  }
  std::size_t attempts_started() {
    std::lock_guard lock(started->mutex);
    return started->values.size();
  }

  // Starts the first attempt and forgets what it did to the window.
  void start_running() {
    start_attempt(record);
    attempt(1);
    window.take();
  }
  void send(core::WorkerMessage message) { ASSERT_TRUE(attempt(1).sender.send(std::move(message))); }
  static core::WorkerMessage progress(std::string text, core::ProgressMode mode,
                                      std::uint32_t percent) {
    return core::Progress{.text = std::move(text), .mode = mode, .percent = percent};
  }

  std::shared_ptr<StartedAttempts> started = std::make_shared<StartedAttempts>();
  test::RecordingWindow window;
  std::pair<core::WorkerSender, core::WorkerReceiver> channel =
      core::make_channel<core::WorkerMessage>();
  LauncherWindow record{.receiver = std::move(channel.second),
                        .sender = channel.first,
                        .log_path = "/logs/ORVO/HostLauncher/launcher.log",
                        .cancel = core::CancelFlag{},
                        .window = &window,
                        .attempt = {},
                        .busy = false};
};

TEST_F(AttemptControl, StartResetsTheControlsAndHandsAFreshFlagToANewThread) {
  const core::CancelFlag initial = record.cancel;
  start_attempt(record);
  EXPECT_EQ(window.take(), kStartOps);
  EXPECT_TRUE(record.busy);
  AttemptValues& values = attempt(1);
  EXPECT_NE(started->threads[0], std::this_thread::get_id());
  EXPECT_EQ(values.log_path, record.log_path);
  EXPECT_FALSE(values.cancel.is_set());
  initial.set();
  EXPECT_FALSE(values.cancel.is_set()) << "the attempt got the record's first flag";
  record.cancel.set();
  EXPECT_TRUE(values.cancel.is_set()) << "the attempt does not share the record's flag";
  // The attempt's sender reaches the window's receiver.
  ASSERT_TRUE(values.sender.send(core::Failed{.text = "x"}));
  EXPECT_TRUE(record.receiver.try_receive());
}

TEST_F(AttemptControl, EveryWaitingProgressIsAppliedInOrderWithinOneTick) {
  start_running();
  send(progress("Checking\u2026", core::ProgressMode::Marquee, 77));
  send(progress("Downloading\u2026", core::ProgressMode::Determinate, 40));
  send(progress("Still downloading\u2026", core::ProgressMode::Determinate, 250));
  send(progress("Checking again\u2026", core::ProgressMode::Marquee, 0));
  poll_tick(record);
  EXPECT_EQ(window.take(), (Ops{"text status Checking\u2026", "marquee",
                                "text status Downloading\u2026", "position 40",
                                "text status Still downloading\u2026", "position 100",
                                "text status Checking again\u2026", "marquee"}));
  EXPECT_TRUE(record.busy);
}

TEST_F(AttemptControl, ProgressModesBeyondTheKnownOnesAnimate) {
  start_running();
  send(progress("Odd\u2026", static_cast<core::ProgressMode>(7), 30));
  poll_tick(record);
  EXPECT_EQ(window.take(), (Ops{"text status Odd\u2026", "marquee"}));
}

TEST_F(AttemptControl, ATickWithNothingWaitingChangesNothing) {
  start_running();
  poll_tick(record);
  poll_tick(record);
  EXPECT_EQ(window.take(), Ops{});
  EXPECT_TRUE(record.busy);
}

TEST_F(AttemptControl, FailedShowsTheFailureViewWithoutItsText) {
  start_running();
  send(progress("Checking\u2026", core::ProgressMode::Marquee, 0));
  send(core::Failed{.text = "Manifest download failed: connection refused"});
  poll_tick(record);
  Ops expected = {"text status Checking\u2026", "marquee"};
  expected.insert(expected.end(), kFailureOps.begin(), kFailureOps.end());
  EXPECT_EQ(window.take(), expected);
  EXPECT_FALSE(record.busy);
  EXPECT_FALSE(window.destroyed());
}

TEST_F(AttemptControl, RetryAfterAFailureStartsANewAttemptWithANewFlag) {
  start_running();
  send(core::Failed{.text = "x"});
  poll_tick(record);
  window.take();
  handle_command(record, kIdRetry);
  EXPECT_EQ(window.take(), kStartOps);
  EXPECT_TRUE(record.busy);
  AttemptValues& second = attempt(2);
  EXPECT_FALSE(second.cancel.is_set());
  attempt(1).cancel.set();
  EXPECT_FALSE(second.cancel.is_set()) << "the two attempts share a flag";
  // The first thread has ended by now, so its id may well be the second's.
  EXPECT_NE(started->threads[1], std::this_thread::get_id());
}

TEST_F(AttemptControl, RetryWhileAnAttemptRunsOrIsCancelledDoesNothing) {
  start_running();
  handle_command(record, kIdRetry);
  EXPECT_EQ(window.take(), Ops{});
  handle_command(record, kIdCancel);
  window.take();
  handle_command(record, kIdRetry);
  // Nothing done to the window shows that no attempt was started: a start
  // sets up the controls before it starts its thread.
  EXPECT_EQ(window.take(), Ops{});
  EXPECT_EQ(attempts_started(), 1U);
}

TEST_F(AttemptControl, CancelSetsTheFlagAndWaitsForTheFinalMessage) {
  start_running();
  handle_command(record, kIdCancel);
  EXPECT_EQ(window.take(), kCancelOps);
  EXPECT_TRUE(attempt(1).cancel.is_set());
  EXPECT_TRUE(record.busy);
  // Pressed again, or the title bar's close: the same three actions.
  handle_close_request(&record, window);
  EXPECT_EQ(window.take(), kCancelOps);
  send(progress("Downloading\u2026", core::ProgressMode::Determinate, 50));
  poll_tick(record);
  EXPECT_EQ(window.take(), Ops{});
  send(core::Failed{.text = "Preparation cancelled"});
  poll_tick(record);
  EXPECT_EQ(window.take(), Ops{"destroy"});
  EXPECT_FALSE(record.busy);
}

TEST_F(AttemptControl, TheClosingMessageLeavesLaterOnesInTheChannel) {
  start_running();
  handle_command(record, kIdCancel);
  window.take();
  send(core::Failed{.text = "Preparation cancelled"});
  send(progress("Late\u2026", core::ProgressMode::Marquee, 0));
  poll_tick(record);
  EXPECT_EQ(window.take(), Ops{"destroy"});
  EXPECT_TRUE(record.receiver.try_receive()) << "the message after the closing one was taken";
}

TEST_F(AttemptControl, CloseInTheFailureViewClosesAtOnce) {
  for (const bool from_title_bar : {false, true}) {
    SCOPED_TRACE(from_title_bar ? "title bar" : "Close button");
    test::RecordingWindow fresh;
    record.window = &fresh;
    record.busy = true;
    record.sender.send(core::Failed{.text = "x"});
    poll_tick(record);
    fresh.take();
    if (from_title_bar) {
      handle_close_request(&record, fresh);
    } else {
      handle_command(record, kIdCancel);
    }
    EXPECT_EQ(fresh.take(), Ops{"destroy"});
    record.window = &window;
  }
}

TEST_F(AttemptControl, ACloseRequestBeforeTheRecordIsAttachedDestroysTheWindow) {
  handle_close_request(nullptr, window);
  EXPECT_EQ(window.take(), Ops{"destroy"});
}

TEST_F(AttemptControl, ViewDetailsOpensTheLogInEveryStateAndChangesNothingElse) {
  const Ops open = {"open /logs/ORVO/HostLauncher/launcher.log"};
  start_running();
  handle_command(record, kIdViewDetails);
  EXPECT_EQ(window.take(), open);
  handle_command(record, kIdCancel);
  window.take();
  handle_command(record, kIdViewDetails);
  EXPECT_EQ(window.take(), open);
  EXPECT_TRUE(record.busy);
}

TEST_F(AttemptControl, OtherControlIdsDoNothing) {
  start_running();
  for (const int id : {0, 1, 2, 100, 104, 65535}) handle_command(record, id);
  EXPECT_EQ(window.take(), Ops{});
  EXPECT_TRUE(record.busy);
}

// A test host that sleeps a minute before anything else: a process to end.
class AttemptControlWithHost : public AttemptControl {
 protected:
  // Starts the host and sends it as the attempt's Launched; its process id comes back.
  int send_launched_host() {
    test::write_file(folder / std::string(test::kHostBehaviourFile), "delay_ms 60000\n");
    auto host = platform::start_process(ORVO_TEST_HOST, folder.path());
    if (!host) throw std::runtime_error(host.error().chain_text());
    const int pid = static_cast<int>(platform::process_id(*host));
    send(core::Launched{.host = std::move(*host)});
    return pid;
  }
  test::TempDir folder;
};

TEST_F(AttemptControlWithHost, LaunchedClosesTheWindowAndLeavesTheHostRunning) {
  start_running();
  const int pid = send_launched_host();
  poll_tick(record);
  EXPECT_EQ(window.take(), Ops{"destroy"});
  EXPECT_FALSE(record.busy);
  EXPECT_TRUE(test::process_exists(pid));
  test::end_process_by_id(pid);
}

TEST_F(AttemptControlWithHost, ACancelledLaunchedEndsTheHostBeforeTheWindowCloses) {
  start_running();
  handle_command(record, kIdCancel);
  window.take();
  const int pid = send_launched_host();
  poll_tick(record);
  EXPECT_EQ(window.take(), Ops{"destroy"});
  EXPECT_FALSE(record.busy);
  EXPECT_FALSE(test::process_exists(pid)) << "the host still runs, or was left unreaped";
}

}  // namespace
}  // namespace orvo::ui
