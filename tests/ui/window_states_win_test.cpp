// The attempt states of the Win32 window, driven through its real window
// procedure: messages on the channel and the poll tick, commands, WM_CLOSE
// with and without a record, and the static controls' colours; read back
// from the real controls (texts, visibility, enabled state, focus, the
// progress bar's style and position).
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/process_control.hpp"
#include "platform/wide_text_win.hpp"
#include "platform/win32.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"
#include "ui/attempt_control.hpp"
#include "ui/launcher_texts.hpp"
#include "ui/launcher_view_win.hpp"

#include <commctrl.h>

namespace orvo::ui {
namespace {

// What the attempt threads were handed, in the order they started.
struct StartedAttempts {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<AttemptValues> values;
};

class WindowStatesWin : public testing::Test {
 protected:
  static void SetUpTestSuite() { register_launcher_class(); }

  WindowStatesWin() {
    record.attempt = [started = started](AttemptValues values) {
      std::lock_guard lock(started->mutex);
      started->values.push_back(std::move(values));
      started->arrived.notify_all();
    };
  }
  ~WindowStatesWin() override {
    // A destroyed window posts the quit message; it must not reach another case.
    if (!destroyed()) view.destroy_window();
    MSG message{};
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE) {
    }
  }

  void start_running() {
    view.attach(&record);
    start_attempt(record);
    view.show();
    ASSERT_NO_FATAL_FAILURE(attempt(1));
  }
  // Waits (generously) until this many attempts have started.
  AttemptValues& attempt(std::size_t number) {
    std::unique_lock lock(started->mutex);
    const bool came = started->arrived.wait_for(lock, std::chrono::seconds(20),
                                                [&] { return started->values.size() >= number; });
    EXPECT_TRUE(came) << "attempt " << number << " never started";
    if (!came) throw std::runtime_error("no attempt");
    return started->values[number - 1];
  }
  std::size_t attempts_started() {
    std::lock_guard lock(started->mutex);
    return started->values.size();
  }
  void send(core::WorkerMessage message) { ASSERT_TRUE(attempt(1).sender.send(std::move(message))); }
  static core::WorkerMessage progress(std::string text, core::ProgressMode mode, std::uint32_t percent) {
    return core::Progress{.text = std::move(text), .mode = mode, .percent = percent};
  }

  HWND main() const { return static_cast<HWND>(view.window()); }
  HWND control(Control which) const { return static_cast<HWND>(view.control(which)); }
  // The poll timer's tick as the message loop would deliver it.
  void tick() { EXPECT_EQ(SendMessageW(main(), WM_TIMER, kPollTimerId, 0), 0); }
  void command(int id) {
    EXPECT_EQ(SendMessageW(main(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0), 0);
  }
  std::string text(Control which) const {
    wchar_t buffer[512] = {};
    GetWindowTextW(control(which), buffer, 512);
    return platform::utf8_text(buffer);
  }
  bool shown(Control which) const {
    return (GetWindowLongPtrW(control(which), GWL_STYLE) & WS_VISIBLE) != 0;
  }
  bool enabled(Control which) const { return IsWindowEnabled(control(which)) != FALSE; }
  bool marquee() const {
    return (GetWindowLongPtrW(control(Control::Progress), GWL_STYLE) & PBS_MARQUEE) != 0;
  }
  LRESULT position() const { return SendMessageW(control(Control::Progress), PBM_GETPOS, 0, 0); }
  bool destroyed() const { return IsWindow(main()) == FALSE; }
  // Whether the quit message (exit code 0) waits in this thread's queue.
  static bool quit_posted() {
    MSG message{};
    return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE &&
           message.wParam == 0;
  }

  void expect_running_view() {
    EXPECT_EQ(text(Control::Status), kPreparingText);
    EXPECT_EQ(text(Control::Cancel), kCancelText);
    EXPECT_TRUE(enabled(Control::Cancel));
    EXPECT_FALSE(shown(Control::Retry));
    EXPECT_FALSE(shown(Control::Details));
    EXPECT_TRUE(shown(Control::Progress));
    EXPECT_TRUE(marquee());
  }

  std::shared_ptr<StartedAttempts> started = std::make_shared<StartedAttempts>();
  Win32LauncherView view{layout_for_dpi(kBaseDpi)};
  std::pair<core::WorkerSender, core::WorkerReceiver> channel =
      core::make_channel<core::WorkerMessage>();
  LauncherWindow record{.receiver = std::move(channel.second),
                        .sender = channel.first,
                        .log_path = "C:\\nonexistent\\ORVO\\launcher.log",
                        .cancel = core::CancelFlag{},
                        .window = &view,
                        .attempt = {},
                        .busy = false};
};

TEST_F(WindowStatesWin, TheFirstAttemptShowsTheRunningViewWithoutMovingTheFocus) {
  ASSERT_NE(main(), nullptr);
  start_running();
  expect_running_view();
  EXPECT_TRUE(record.busy);
  for (const ControlLayout& item : kControls) {
    EXPECT_NE(GetFocus(), control(item.control)) << static_cast<int>(item.control);
  }
}

TEST_F(WindowStatesWin, EveryWaitingProgressOfATickIsAppliedAndTheLastOneStands) {
  start_running();
  send(progress("Downloading\u2026", core::ProgressMode::Determinate, 40));
  send(progress("Checking\u2026", core::ProgressMode::Marquee, 7));
  send(progress("Unpacking\u2026", core::ProgressMode::Determinate, 250));
  tick();
  EXPECT_EQ(text(Control::Status), "Unpacking\u2026");
  EXPECT_FALSE(marquee());
  EXPECT_EQ(position(), 100);
  // A tick with nothing waiting changes nothing.
  tick();
  EXPECT_EQ(text(Control::Status), "Unpacking\u2026");
  EXPECT_EQ(position(), 100);
  // Marquee after determinate animates again, whatever its percent; and back.
  send(progress("Verifying\u2026", core::ProgressMode::Marquee, 55));
  tick();
  EXPECT_TRUE(marquee());
  send(progress("Downloading\u2026", core::ProgressMode::Determinate, 30));
  tick();
  EXPECT_FALSE(marquee());
  EXPECT_EQ(position(), 30);
  EXPECT_TRUE(record.busy);
}

TEST_F(WindowStatesWin, FailedShowsTheFailureViewAndRetryStartsAFreshAttempt) {
  start_running();
  send(progress("Downloading\u2026", core::ProgressMode::Determinate, 40));
  send(core::Failed{.text = "Cannot download the release package: timed out"});
  tick();
  EXPECT_FALSE(record.busy);
  EXPECT_EQ(text(Control::Status), kFailureText);
  EXPECT_FALSE(shown(Control::Progress));
  EXPECT_TRUE(shown(Control::Retry));
  EXPECT_TRUE(shown(Control::Details));
  EXPECT_EQ(text(Control::Cancel), kCloseText);
  EXPECT_TRUE(enabled(Control::Cancel));
  EXPECT_EQ(GetFocus(), control(Control::Retry));

  command(kIdRetry);
  expect_running_view();
  AttemptValues& second = attempt(2);
  EXPECT_FALSE(second.cancel.is_set());
  EXPECT_TRUE(record.busy);
  // Retry while an attempt runs does nothing.
  command(kIdRetry);
  EXPECT_EQ(attempts_started(), 2U);
  EXPECT_FALSE(destroyed());
}

TEST_F(WindowStatesWin, CancelWaitsForTheFinalMessageThenCloses) {
  start_running();
  command(kIdCancel);
  EXPECT_TRUE(attempt(1).cancel.is_set());
  EXPECT_EQ(text(Control::Status), kCancellingText);
  EXPECT_FALSE(enabled(Control::Cancel));
  // Later progress changes nothing, Retry does nothing, and the window stays.
  send(progress("Downloading\u2026", core::ProgressMode::Determinate, 40));
  tick();
  command(kIdRetry);
  EXPECT_EQ(text(Control::Status), kCancellingText);
  EXPECT_TRUE(marquee());
  EXPECT_EQ(attempts_started(), 1U);
  EXPECT_FALSE(destroyed());
  send(core::Failed{.text = "Preparation cancelled"});
  tick();
  EXPECT_TRUE(destroyed());
  EXPECT_FALSE(record.busy);
  EXPECT_TRUE(quit_posted());
}

TEST_F(WindowStatesWin, ClosingFromTheTitleBarCancelsWhileBusyAndClosesTheFailureView) {
  start_running();
  EXPECT_EQ(SendMessageW(main(), WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(attempt(1).cancel.is_set());
  EXPECT_EQ(text(Control::Status), kCancellingText);
  EXPECT_FALSE(enabled(Control::Cancel));
  EXPECT_FALSE(destroyed());

  // A fresh flag for the next attempt: the failure view, then WM_CLOSE closes at once.
  record.cancel = core::CancelFlag{};
  send(core::Failed{.text = "x"});
  tick();
  ASSERT_FALSE(destroyed());
  EXPECT_EQ(SendMessageW(main(), WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(destroyed());
  EXPECT_TRUE(quit_posted());
}

TEST_F(WindowStatesWin, CloseInTheFailureViewClosesTheWindow) {
  start_running();
  send(core::Failed{.text = "x"});
  tick();
  command(kIdCancel);
  EXPECT_TRUE(destroyed());
  EXPECT_TRUE(quit_posted());
}

TEST_F(WindowStatesWin, WithoutARecordCloseDestroysAndCommandsAndTicksDoNothing) {
  ASSERT_NE(main(), nullptr);
  command(kIdRetry);
  tick();
  EXPECT_EQ(attempts_started(), 0U);
  EXPECT_EQ(text(Control::Status), kPreparingText);
  EXPECT_FALSE(destroyed());
  EXPECT_EQ(SendMessageW(main(), WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(destroyed());
  EXPECT_TRUE(quit_posted());
}

TEST_F(WindowStatesWin, StaticTextIsDrawnInItsColourOnTheWindowBrush) {
  HDC context = CreateCompatibleDC(nullptr);
  const LRESULT brush = SendMessageW(main(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(context),
                                     reinterpret_cast<LPARAM>(control(Control::Status)));
  EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW)));
  EXPECT_EQ(GetTextColor(context), RGB(36, 43, 53));
  EXPECT_EQ(GetBkMode(context), TRANSPARENT);
  DeleteDC(context);
}

class WindowStatesWithHostWin : public WindowStatesWin {
 protected:
  // Starts the host and sends it as the attempt's Launched; its process id comes back.
  int send_launched_host() {
    test::write_file(folder / std::string(test::kHostBehaviourFile), "delay_ms 60000\n");
    auto host = platform::start_process(ORVO_TEST_HOST, folder.path());
    EXPECT_TRUE(host) << host.error().chain_text();
    if (!host) return 0;
    const int pid = static_cast<int>(platform::process_id(*host));
    send(core::Launched{.host = std::move(*host)});
    return pid;
  }
  test::TempDir folder;
};

TEST_F(WindowStatesWithHostWin, LaunchedClosesTheWindowAndLeavesTheHostRunning) {
  start_running();
  const int pid = send_launched_host();
  tick();
  EXPECT_TRUE(destroyed());
  EXPECT_FALSE(record.busy);
  EXPECT_TRUE(quit_posted());
  EXPECT_TRUE(test::process_exists(pid));
  test::end_process_by_id(pid);
}

TEST_F(WindowStatesWithHostWin, ACancelledLaunchedEndsTheHostWithExitCode1BeforeTheWindowCloses) {
  start_running();
  command(kIdCancel);
  const int pid = send_launched_host();
  HANDLE watch = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                             static_cast<DWORD>(pid));
  ASSERT_NE(watch, nullptr);
  tick();
  EXPECT_TRUE(destroyed());
  EXPECT_FALSE(test::process_exists(pid));
  DWORD code = 0;
  EXPECT_NE(GetExitCodeProcess(watch, &code), FALSE);
  EXPECT_EQ(code, 1U);
  CloseHandle(watch);
}

}  // namespace
}  // namespace orvo::ui
