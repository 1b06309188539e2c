// orvo-support itself under Xvfb, with real processes: this build has no
// release key, so every attempt fails at once ("not configured") and the
// window shows its failure view. Each test has its own runtime folder (the
// session's named objects), its own per-user folder (cache and log) and its
// own temporary folder (where the per-user private folder would be made).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <tuple>

#include "platform/desktop/screen_dpi.hpp"
#include "platform/host/process_control.hpp"
#include "platform/private_folder_posix.hpp"
#include "platform/session_mutex.hpp"
#include "support/fs/no_local_app_data.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"
#include "support/host/x_server.hpp"
#include "support/host/x_windows.hpp"
#include "ui/launcher_texts.hpp"
#include "ui/window_layout.hpp"

namespace orvo::ui {
namespace {

namespace fs = std::filesystem;

// The bound of every wait for the launcher to do something: a launcher that
// starts GTK under a sanitizer on a loaded single core has needed over 20 s.
constexpr auto kPatience = std::chrono::seconds(300);

// Whether no control is drawn in the rectangle: all its pixels have one colour.
bool bare(const test::Picture& picture, const Rect& rect) {
  const auto at = [&](int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * picture.width + x) * 3;
    return std::tuple(picture.rgb[i], picture.rgb[i + 1], picture.rgb[i + 2]);
  };
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    for (int x = rect.x; x < rect.x + rect.width; ++x) {
      if (at(x, y) != at(rect.x, rect.y)) return false;
    }
  }
  return true;
}

// The failure view as the launcher has drawn it: the Retry button where the
// progress view has bare background, and no progress bar. The launcher lays
// its window out for the screen's DPI, as here.
bool draws_failure_view(test::XWindows& windows, test::XWindow window) {
  const WindowLayout layout = layout_for_dpi(platform::screen_dpi());
  const test::Picture picture = windows.picture(window);
  const auto inside = [&](const Rect& rect) {
    return rect.x >= 0 && rect.y >= 0 && rect.x + rect.width <= picture.width &&
           rect.y + rect.height <= picture.height;
  };
  const Rect& retry = layout.rect_of(Control::Retry);
  const Rect& progress = layout.rect_of(Control::Progress);
  return inside(retry) && inside(progress) && !bare(picture, retry) && bare(picture, progress);
}

class LauncherProgram : public test::WithXServer {
 protected:
  void SetUp() override {
    test::WithXServer::SetUp();
    ::chmod(runtime.path().c_str(), 0700);
  }

  platform::Process start_launcher() {
    auto launcher = platform::start_process(ORVO_SUPPORT_PROGRAM, work.path());
    if (!launcher) throw std::runtime_error(launcher.error().chain_text());
    return std::move(*launcher);
  }
  // The exit code, waiting (generously) for the end.
  static std::optional<std::uint32_t> exit_code(const platform::Process& process) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
      if (auto ended = platform::exit_code_if_ended(process); ended && *ended) return **ended;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    (void)platform::end_process(process, 1);
    (void)platform::wait_for_exit(process);
    return std::nullopt;
  }

  fs::path log_file() const { return local / "ORVO" / "HostLauncher" / "launcher.log"; }
  std::size_t log_lines() const {
    std::ifstream in(log_file());
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines;
  }
  // Waits until the log holds this many lines.
  bool wait_for_log_lines(std::size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
      if (log_lines() >= count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  // Waits until the window shows the failure view.
  static bool wait_for_failure_view(test::XWindows& windows, test::XWindow window) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
      if (draws_failure_view(windows, window)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  // The launcher's window once it shows the failure view of its first attempt.
  test::XWindow failure_view_of_first_attempt(test::XWindows& windows) {
    auto window = windows.wait_for_class(kWindowClass);
    if (!window) throw std::runtime_error("no launcher window");
    if (!wait_for_log_lines(1)) throw std::runtime_error("the attempt wrote no log line");
    if (!wait_for_failure_view(windows, *window)) throw std::runtime_error("no failure view");
    return *window;
  }

  // The session's names can be made nowhere: no runtime folder, and a file
  // where the per-user folder's parent should be.
  void without_a_private_folder(std::optional<test::ScopedVariable>& runtime_value,
                                std::optional<test::ScopedVariable>& temp_value) {
    test::write_file(work / "not-a-folder", "");
    runtime_value.emplace("XDG_RUNTIME_DIR", (work / "not-a-folder").string());
    temp_value.emplace("TMPDIR", (work / "not-a-folder").string());
  }

  test::TempDir work;
  test::TempDir runtime;
  test::TempDir local;
  test::TempDir temp;
  test::ScopedVariable runtime_variable{"XDG_RUNTIME_DIR", runtime.path().string()};
  test::ScopedVariable local_variable{"LOCALAPPDATA", local.path().string()};
  test::ScopedVariable temp_variable{"TMPDIR", temp.path().string()};
};

TEST_F(LauncherProgram, TheWindowStaysInItsFailureViewUntilClosedFromItsTitleBar) {
  platform::Process launcher = start_launcher();
  test::XWindows windows;
  const test::XWindow window = failure_view_of_first_attempt(windows);
  EXPECT_EQ(windows.title(window), "ORVO Support");
  const std::string log = test::read_file(log_file());
  EXPECT_NE(log.find("] This launcher has not been configured for distribution."), std::string::npos)
      << log;
  windows.close(window);
  EXPECT_EQ(exit_code(launcher), 0U);
  EXPECT_EQ(log_lines(), 1U);
}

TEST_F(LauncherProgram, RetryRunsAnotherAttemptAndCloseEndsTheLauncher) {
  platform::Process launcher = start_launcher();
  test::XWindows windows;
  const test::XWindow window = failure_view_of_first_attempt(windows);
  // Retry has the focus in the failure view.
  ASSERT_TRUE(windows.type(window, {"Return"}));
  EXPECT_TRUE(wait_for_log_lines(2));
  // The first failure view may still be what the screen holds: covered and
  // bared again, the window shows only what it draws from now on, the
  // progress view or the second failure view.
  windows.unmap(windows.cover());
  EXPECT_TRUE(wait_for_failure_view(windows, window));
  EXPECT_TRUE(windows.viewable(window));
  // Tab moves from Retry to Close.
  ASSERT_TRUE(windows.type(window, {"Tab", "Return"}));
  EXPECT_EQ(exit_code(launcher), 0U);
  EXPECT_EQ(log_lines(), 2U);
}

TEST_F(LauncherProgram, ASecondLauncherRestoresAndRaisesTheFirstAndEndsSilently) {
  platform::Process first = start_launcher();
  test::XWindows windows;
  const test::XWindow window = failure_view_of_first_attempt(windows);
  for (const bool minimised : {true, false}) {
    SCOPED_TRACE(minimised ? "minimised" : "covered");
    if (minimised) windows.unmap(window);
    const test::XWindow cover = windows.cover();
    EXPECT_LT(windows.stacking_place(cover), windows.stacking_place(window));
    platform::Process second = start_launcher();
    EXPECT_EQ(exit_code(second), 0U);
    EXPECT_TRUE(windows.viewable(window));
    EXPECT_LT(windows.stacking_place(window), windows.stacking_place(cover));
    EXPECT_EQ(windows.with_class(kWindowClass).size(), 1U);
    EXPECT_EQ(log_lines(), 1U) << "the second launcher wrote to the log";
  }
  windows.close(window);
  EXPECT_EQ(exit_code(first), 0U);
}

TEST_F(LauncherProgram, TwoLaunchersStartedAtOnceMakeOneWindow) {
  platform::Process one = start_launcher();
  platform::Process other = start_launcher();
  test::XWindows windows;
  const test::XWindow window = failure_view_of_first_attempt(windows);
  // The one that lost ends by itself; the other keeps its window.
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  int ended = 0;
  while (ended == 0 && std::chrono::steady_clock::now() < deadline) {
    for (const platform::Process* process : {&one, &other}) {
      if (auto code = platform::exit_code_if_ended(*process); code && *code) {
        EXPECT_EQ(**code, 0U);
        ++ended;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(windows.with_class(kWindowClass).size(), 1U);
  EXPECT_EQ(log_lines(), 1U);
  windows.close(window);
  EXPECT_EQ(exit_code(one), 0U);
  EXPECT_EQ(exit_code(other), 0U);
}

// A host that holds its session name (and shows no window for a minute), for
// a launcher that then shows the information box; ended at the end.
class OpenHost {
 public:
  OpenHost() {
    test::write_file(folder_ / std::string(test::kHostBehaviourFile), "delay_ms 60000\n");
    auto host = platform::start_process(ORVO_TEST_HOST, folder_.path());
    if (!host) throw std::runtime_error(host.error().chain_text());
    process_ = std::move(*host);
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!platform::session_mutex_exists(kHostMutexName) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  OpenHost(const OpenHost&) = delete;
  OpenHost& operator=(const OpenHost&) = delete;
  ~OpenHost() {
    EXPECT_TRUE(platform::end_process(process_, 1));
    EXPECT_TRUE(platform::wait_for_exit(process_));
  }

 private:
  test::TempDir folder_;
  platform::Process process_;
};

TEST_F(LauncherProgram, WithTheHostOpenOnlyTheInformationBoxShows) {
  const OpenHost host;
  platform::Process launcher = start_launcher();
  test::XWindows windows;
  const auto box = windows.wait_for_role("orvo-information");
  ASSERT_TRUE(box);
  EXPECT_EQ(windows.title(*box), "ORVO Support");
  EXPECT_TRUE(windows.with_class(kWindowClass).empty());
  // While the box is up this launcher holds the single-instance name, and
  // another one started meanwhile ends silently: there is no window to raise.
  EXPECT_TRUE(platform::session_mutex_exists(kLauncherMutexName));
  platform::Process second = start_launcher();
  EXPECT_EQ(exit_code(second), 0U);
  EXPECT_EQ(windows.with_role("orvo-information").size(), 1U);
  windows.close(*box);
  EXPECT_EQ(exit_code(launcher), 0U);
  EXPECT_FALSE(fs::exists(local / "ORVO")) << "the cache was touched";
  EXPECT_FALSE(platform::session_mutex_exists(kLauncherMutexName));
}

TEST_F(LauncherProgram, WithoutARuntimeFolderTheErrorBoxShows) {
  std::optional<test::ScopedVariable> no_runtime;
  std::optional<test::ScopedVariable> no_temp;
  without_a_private_folder(no_runtime, no_temp);
  platform::Process launcher = start_launcher();
  test::XWindows windows;
  const auto box = windows.wait_for_role("orvo-error");
  ASSERT_TRUE(box);
  EXPECT_EQ(windows.title(*box), "ORVO Support");
  windows.close(*box);
  EXPECT_EQ(exit_code(launcher), 0U);
  EXPECT_FALSE(fs::exists(local / "ORVO"));
}

// A su shell or a remote session without XDG_RUNTIME_DIR: the session's
// names go to the per-user folder, and the launcher starts.
TEST_F(LauncherProgram, WithoutARuntimeVariableTheLauncherStarts) {
  test::ScopedVariable no_runtime("XDG_RUNTIME_DIR", std::nullopt);
  platform::Process launcher = start_launcher();
  test::XWindows windows;
  const auto window = windows.wait_for_class(kWindowClass);
  ASSERT_TRUE(window);
  EXPECT_TRUE(windows.with_role("orvo-error").empty());
  EXPECT_TRUE(fs::exists(platform::per_user_folder() / "ORVO.Support.Launcher.lock"));
  windows.close(*window);
  EXPECT_EQ(exit_code(launcher), 0U);
}

TEST_F(LauncherProgram, WithoutACacheRootTheLogGoesToTheTemporaryFolder) {
  const test::NoLocalAppData no_cache_root;
  platform::Process launcher = start_launcher();
  test::XWindows windows;
  const auto window = windows.wait_for_class(kWindowClass);
  ASSERT_TRUE(window);
  const fs::path log = runtime / "ORVO" / "launcher.log";
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  // The file is made before its line is written: wait for the line.
  const auto size = [&] {
    std::error_code error;
    const auto bytes = fs::file_size(log, error);
    return error ? 0 : bytes;
  };
  while (size() == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_NE(test::read_file(log).find("] This launcher has not been configured"), std::string::npos);
  windows.close(*window);
  EXPECT_EQ(exit_code(launcher), 0U);
}

TEST_F(LauncherProgram, ADisplayThatGoesAwayEndsTheLauncherWithCodeZero) {
  platform::Process launcher = start_launcher();
  {
    test::XWindows windows;
    failure_view_of_first_attempt(windows);
  }
  server().stop();
  EXPECT_EQ(exit_code(launcher), 0U);
}

// Coloured pixels in the box: its text, background and button are shades of
// grey (font smoothing tints an edge by a few units at most), the themed
// icons are not (the information icon's bulb is pale: a few dozen pixels).
// Waits up to kPatience for the box to be drawn.
int coloured_pixels(test::XWindows& windows, test::XWindow box) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  int coloured = 0;
  while (coloured == 0 && std::chrono::steady_clock::now() < deadline) {
    const test::Picture picture = windows.picture(box);
    for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
      const auto [low, high] = std::minmax({picture.rgb[i], picture.rgb[i + 1], picture.rgb[i + 2]});
      if (high - low > 16) ++coloured;
    }
    if (coloured == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return coloured;
}

TEST_F(LauncherProgram, TheBoxesShowTheirIcons) {
  for (const bool error : {true, false}) {
    SCOPED_TRACE(error ? "error" : "information");
    std::optional<test::ScopedVariable> unusable_runtime;
    std::optional<test::ScopedVariable> unusable_temp;
    std::optional<OpenHost> host;
    if (error) {
      without_a_private_folder(unusable_runtime, unusable_temp);
    } else {
      host.emplace();
    }
    platform::Process launcher = start_launcher();
    test::XWindows windows;
    const auto box = windows.wait_for_role(error ? "orvo-error" : "orvo-information");
    ASSERT_TRUE(box);
    EXPECT_GT(coloured_pixels(windows, *box), 10);
    windows.close(*box);
    EXPECT_EQ(exit_code(launcher), 0U);
  }
}

// The boxes come before the window; the display may go while one is up.
TEST_F(LauncherProgram, ADisplayThatGoesAwayDuringABoxEndsTheLauncherWithCodeZero) {
  const OpenHost host;
  platform::Process launcher = start_launcher();
  {
    test::XWindows windows;
    ASSERT_TRUE(windows.wait_for_role("orvo-information"));
  }
  server().stop();
  EXPECT_EQ(exit_code(launcher), 0U);
}

TEST_F(LauncherProgram, WithoutADisplayTheLauncherEndsAtOnce) {
  test::ScopedVariable no_display("DISPLAY", std::nullopt);
  platform::Process launcher = start_launcher();
  EXPECT_EQ(exit_code(launcher), 0U);
  EXPECT_FALSE(fs::exists(local / "ORVO"));
}

TEST_F(LauncherProgram, ViewDetailsBeforeAnyLogExistsChangesNothing) {
  // A file where the per-user folder should be: the log can never be written.
  test::ScopedVariable unusable("LOCALAPPDATA", (work / "not-a-folder").string());
  test::write_file(work / "not-a-folder", "");
  platform::Process launcher = start_launcher();
  test::XWindows windows;
  auto window = windows.wait_for_class(kWindowClass);
  ASSERT_TRUE(window);
  ASSERT_TRUE(wait_for_failure_view(windows, *window));
  const auto before = windows.with_class(kWindowClass).size();
  // Retry, Close, View details; typing ends once the launcher has handled them.
  ASSERT_TRUE(windows.type(*window, {"Tab", "Tab", "Return"}));
  EXPECT_TRUE(windows.viewable(*window));
  EXPECT_EQ(windows.with_class(kWindowClass).size(), before);
  EXPECT_TRUE(windows.with_role("orvo-error").empty());
  EXPECT_FALSE(platform::exit_code_if_ended(launcher).value_or(std::nullopt).has_value());
  windows.close(*window);
  EXPECT_EQ(exit_code(launcher), 0U);
}

}  // namespace
}  // namespace orvo::ui
