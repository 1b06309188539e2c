// ORVO-Support.exe as a user starts it, with real processes under Wine: one
// launcher per session (a second one restores the first and ends with 0),
// the information box while ORVO Host is open (found, read and dismissed;
// no window, no cache), the error box when the single-instance name cannot
// be made, and the window's own close.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "platform/host/process_control.hpp"
#include "platform/session_mutex.hpp"
#include "platform/wide_text_win.hpp"
#include "platform/win32.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"
#include "ui/launcher_texts.hpp"

namespace orvo::ui {
namespace {

// The bound of every wait for the launcher to do something. Wine starts a
// program in a second or two when the machine is idle, and many times that
// when the machine is busy with other work: a test must not fail for that.
constexpr std::chrono::seconds kBound{300};

struct WindowSearch {
  DWORD pid;
  std::wstring class_name;
  HWND found = nullptr;
};

BOOL CALLBACK match_window(HWND window, LPARAM argument) {
  auto* search = reinterpret_cast<WindowSearch*>(argument);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  if (owner == search->pid && search->class_name == name && IsWindowVisible(window) != FALSE) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The visible top-level window of that class which the process shows, waiting up to kBound.
HWND wait_for_window(const platform::Process& process, const std::wstring& class_name) {
  const auto deadline = std::chrono::steady_clock::now() + kBound;
  while (std::chrono::steady_clock::now() < deadline) {
    WindowSearch search{platform::process_id(process), class_name};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return nullptr;
}

bool shows_window(const platform::Process& process, const std::wstring& class_name) {
  WindowSearch search{platform::process_id(process), class_name};
  EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
  return search.found != nullptr;
}

// The exit code, waiting up to kBound; a launcher that hangs is ended and fails the test.
std::optional<std::uint32_t> exit_code_within_bound(const platform::Process& process) {
  const auto deadline = std::chrono::steady_clock::now() + kBound;
  while (std::chrono::steady_clock::now() < deadline) {
    auto ended = platform::exit_code_if_ended(process);
    if (ended && *ended) return **ended;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  (void)platform::end_process(process, 1);
  (void)platform::wait_for_exit(process);
  ADD_FAILURE() << "the launcher did not end within " << kBound.count() << " s";
  return std::nullopt;
}

std::string window_text(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return platform::utf8_text(text);
}

// The text of a message box: its static control with the ID 0xFFFF.
std::string box_text(HWND box) {
  wchar_t text[512] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 512);
  return platform::utf8_text(text);
}

class LauncherProgramWin : public testing::Test {
 protected:
  platform::Process start_launcher() {
    auto launcher = platform::start_process(ORVO_SUPPORT_PROGRAM, work.path());
    EXPECT_TRUE(launcher) << launcher.error().chain_text();
    return launcher ? std::move(*launcher) : platform::Process{};
  }
  // A box of the launcher's: its caption and text; dismissed with OK.
  void expect_box_then_dismiss(const platform::Process& launcher, std::string_view text) {
    const HWND box = wait_for_window(launcher, L"#32770");
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(window_text(box), kCaption);
    EXPECT_EQ(box_text(box), text);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_FALSE(shows_window(launcher, platform::wide_text(kWindowClass)));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(exit_code_within_bound(launcher), std::optional<std::uint32_t>(0));
  }

  test::TempDir local_app_data;
  test::TempDir work;
  test::ScopedVariable local{"LOCALAPPDATA", local_app_data.path().string()};
};

TEST_F(LauncherProgramWin, ASecondLauncherRestoresTheFirstAndEndsWith0) {
  const platform::Process first = start_launcher();
  const std::wstring window_class = platform::wide_text(kWindowClass);
  const HWND window = wait_for_window(first, window_class);
  ASSERT_NE(window, nullptr) << "the first launcher shows no window";
  EXPECT_EQ(window_text(window), kCaption);
  ShowWindow(window, SW_MINIMIZE);
  ASSERT_NE(IsIconic(window), FALSE);

  const platform::Process second = start_launcher();
  EXPECT_EQ(exit_code_within_bound(second), std::optional<std::uint32_t>(0));
  EXPECT_EQ(IsIconic(window), FALSE) << "the first launcher's window was not restored";
  EXPECT_FALSE(shows_window(second, window_class));

  // The default build cannot prepare a release: the first one has failed by
  // now, or soon does, and its window closes on WM_CLOSE either way.
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(exit_code_within_bound(first), std::optional<std::uint32_t>(0));
  const std::filesystem::path log = local_app_data / "ORVO/HostLauncher/launcher.log";
  ASSERT_TRUE(std::filesystem::exists(log));
  EXPECT_NE(test::read_file(log).find("This launcher has not been configured for distribution."),
            std::string::npos);
}

TEST_F(LauncherProgramWin, WhileTheHostIsOpenOnlyTheInformationBoxAppears) {
  test::TempDir host_folder;
  test::write_file(host_folder / std::string(test::kHostBehaviourFile), "delay_ms 60000\n");
  auto host = platform::start_process(ORVO_TEST_HOST, host_folder.path());
  ASSERT_TRUE(host) << host.error().chain_text();
  const auto deadline = std::chrono::steady_clock::now() + kBound;
  while (!platform::session_mutex_exists(kHostMutexName) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(platform::session_mutex_exists(kHostMutexName));

  const platform::Process launcher = start_launcher();
  expect_box_then_dismiss(launcher, kHostOpenText);
  // No log line, no cache: the launcher never reached the cache root.
  EXPECT_TRUE(std::filesystem::is_empty(local_app_data.path()));
  (void)platform::end_process(*host, 1);
  (void)platform::wait_for_exit(*host);
}

// Another kind of object holding the single-instance name makes the mutex
// impossible to create: the launcher shows its error box and ends.
TEST_F(LauncherProgramWin, WhenTheSingleInstanceNameCannotBeMadeTheErrorBoxAppears) {
  const std::wstring name = platform::wide_text(kLauncherMutexName);
  const HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
  ASSERT_NE(squatter, nullptr);
  const platform::Process launcher = start_launcher();
  expect_box_then_dismiss(launcher, kCouldNotStartText);
  EXPECT_TRUE(std::filesystem::is_empty(local_app_data.path()));
  CloseHandle(squatter);
}

}  // namespace
}  // namespace orvo::ui
