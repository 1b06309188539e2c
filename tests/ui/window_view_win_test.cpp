// The Win32 window under Wine at the DPIs the layout names, each set through
// the prefix's LogPixels value before the probe starts: the client size, the
// window's place, class and styles, every control's rectangle, class, ID and
// style, the fonts' heights, weights and face, what is shown and focused
// right after start-up and in the failure view, and the Tab order. At 96 and
// 144 DPI it also leaves pictures in the build folder.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/process_control.hpp"
#include "platform/win32.hpp"
#include "support/fs/temp_dir.hpp"
#include "ui/dpi_cases.hpp"
#include "ui/probe_report.hpp"
#include "ui/window_layout.hpp"

namespace orvo::ui {
namespace {

using test::DpiCase;
using test::ProbeReport;

constexpr std::chrono::seconds kProbeBound{60};

// The DPI Wine gives the programs that start while the value lives: the
// user's LogPixels value, put back (or removed) afterwards.
class ScopedLogPixels {
 public:
  explicit ScopedLogPixels(int dpi) {
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                    KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (RegQueryValueExW(key_, kValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD) {
      saved_ = value;
    }
    set(static_cast<DWORD>(dpi));
  }
  ScopedLogPixels(const ScopedLogPixels&) = delete;
  ScopedLogPixels& operator=(const ScopedLogPixels&) = delete;
  ~ScopedLogPixels() {
    if (saved_) {
      set(*saved_);
    } else {
      RegDeleteValueW(key_, kValue);
    }
    RegCloseKey(key_);
  }

 private:
  static constexpr const wchar_t* kValue = L"LogPixels";
  void set(DWORD value) {
    ASSERT_EQ(RegSetValueExW(key_, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof(value)),
              ERROR_SUCCESS);
  }
  HKEY key_ = nullptr;
  std::optional<DWORD> saved_;
};

// Runs the probe for a view and returns its report; a probe that crashes or
// hangs fails the test.
ProbeReport probe(const std::string& view, const std::filesystem::path& picture = {}) {
  test::TempDir folder;
  test::write_file(folder / "view-probe.txt", view + (picture.empty() ? "" : " " + picture.string()) + "\n");
  auto process = platform::start_process(ORVO_VIEW_PROBE, folder.path());
  EXPECT_TRUE(process) << process.error().chain_text();
  if (!process) return {};
  const auto deadline = std::chrono::steady_clock::now() + kProbeBound;
  std::optional<std::uint32_t> code;
  while (std::chrono::steady_clock::now() < deadline) {
    auto ended = platform::exit_code_if_ended(*process);
    if (ended && *ended) {
      code = **ended;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!code) {
    (void)platform::end_process(*process, 1);
    (void)platform::wait_for_exit(*process);
    ADD_FAILURE() << "the probe did not end within " << kProbeBound.count() << " s";
    return {};
  }
  EXPECT_EQ(*code, 0U);
  return test::parse(test::read_file(folder / "view-probe-report.txt"));
}

std::vector<std::string> words(std::initializer_list<int> numbers) {
  std::vector<std::string> out;
  for (const int n : numbers) out.push_back(std::to_string(n));
  return out;
}

long style_of(const ProbeReport& report, const std::string& control) {
  const auto& kind = report["kind " + control];
  return kind.size() < 3 ? -1 : std::stol(kind[2], nullptr, 16);
}

class WindowAtDpiWin : public testing::TestWithParam<DpiCase> {};

TEST_P(WindowAtDpiWin, TheRealWindowHasTheScaledLayout) {
  const DpiCase& c = GetParam();
  const ScopedLogPixels dpi(c.dpi);
  const ProbeReport report = probe("running");
  EXPECT_EQ(report["dpi"], words({c.dpi < 97 ? 96 : c.dpi}));
  EXPECT_EQ(report["client"], words({c.client_width, c.client_height}));

  // The main window: its class; a caption with the system menu and a minimize
  // box, no sizing border and no maximize box (the system adds only
  // WS_VISIBLE, WS_CLIPSIBLINGS and the caption's window edge).
  const auto& window = report["window"];
  ASSERT_EQ(window.size(), 3U);
  EXPECT_EQ(window[0], "ORVO.Support.Launcher.Window");
  EXPECT_EQ(std::stol(window[1], nullptr, 16) & ~static_cast<long>(WS_VISIBLE | WS_CLIPSIBLINGS),
            0xCA0000L);
  EXPECT_EQ(std::stol(window[2], nullptr, 16) & ~static_cast<long>(WS_EX_WINDOWEDGE), 0L);
  // Centred on the primary screen.
  const auto& frame = report["frame"];
  const auto& screen = report["screen"];
  ASSERT_EQ(frame.size(), 4U);
  ASSERT_EQ(screen.size(), 2U);
  EXPECT_EQ(std::stoi(frame[0]), (std::stoi(screen[0]) - std::stoi(frame[2])) / 2);
  EXPECT_EQ(std::stoi(frame[1]), (std::stoi(screen[1]) - std::stoi(frame[3])) / 2);

  struct Kind {
    const char* class_name;
    int id;
    long style;  // the whole style right after start-up
  };
  const Kind kinds[] = {{"Static", 0, 0x50000000},  {"Static", 0, 0x50000000},
                        {"msctls_progress32", 0, 0x50000008}, {"Static", 0, 0x50000000},
                        {"Button", 101, 0x40010001}, {"Button", 102, 0x50010000},
                        {"Button", 103, 0x40010000}};
  const WindowLayout layout = layout_for_dpi(c.dpi);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const std::string name = test::kControlNames[i];
    SCOPED_TRACE(name);
    EXPECT_EQ(report.rect(name), layout.rects[i]);
    const auto& kind = report["kind " + name];
    ASSERT_EQ(kind.size(), 3U);
    EXPECT_EQ(kind[0], kinds[i].class_name);
    EXPECT_EQ(kind[1], std::to_string(kinds[i].id));
    EXPECT_EQ(style_of(report, name), kinds[i].style);
    const bool title = i == 0;
    EXPECT_EQ(report["font " + name],
              (std::vector<std::string>{std::to_string(-(title ? c.title_font : c.body_font)),
                                        title ? "600" : "400", "Segoe", "UI"}));
  }
  for (const auto& [name, rect] : c.named) {
    SCOPED_TRACE(name);
    EXPECT_EQ(report.rect(name), rect);
  }
}

INSTANTIATE_TEST_SUITE_P(Dpis, WindowAtDpiWin, testing::ValuesIn(test::kDpiCases),
                         [](const auto& info) { return info.param.label; });

TEST(WindowViewsWin, RightAfterStartUpOnlyCancelOfTheButtonsShowsAndNothingHasTheFocus) {
  const ProbeReport report = probe("running");
  test::expect_running_view(report);
  EXPECT_EQ(report["progress"], (std::vector<std::string>{"MARQUEE", "0"}));
}

TEST(WindowViewsWin, TheFailureViewFocusesRetryAndTabsInCreationOrder) {
  const ProbeReport report = probe("failure");
  test::expect_failure_view(report);
  // Retry keeps its default-button style; the bar keeps its mode.
  EXPECT_EQ(style_of(report, "retry"), 0x50010001L);
  EXPECT_EQ(report["progress"], (std::vector<std::string>{"MARQUEE", "0"}));
}

// Pictures for people to look at; the test checks only that they were written.
TEST(WindowScreenshotsWin, RunningAndFailureViewsAt96And144Dpi) {
  std::filesystem::create_directories(ORVO_SCREENSHOT_DIR);
  for (const int dpi : {96, 144}) {
    const ScopedLogPixels scoped(dpi);
    for (const std::string view : {"running", "failure"}) {
      const std::filesystem::path picture =
          std::filesystem::path(ORVO_SCREENSHOT_DIR) /
          ("launcher-win-" + std::to_string(dpi) + "-" + view + ".png");
      std::filesystem::remove(picture);
      const ProbeReport report = probe(view, picture);
      EXPECT_EQ(report["dpi"], words({dpi}));
      ASSERT_TRUE(std::filesystem::exists(picture)) << picture;
      EXPECT_GT(std::filesystem::file_size(picture), 1000U) << picture;
    }
  }
}

}  // namespace
}  // namespace orvo::ui
