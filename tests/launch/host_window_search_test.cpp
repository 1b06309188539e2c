// Which top-level windows count as the host's main window, and what the
// window layer reads from them, with real test hosts on a private X server.
#include "launch/host_window_search.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "launch/utf16_text.hpp"
#include "platform/host/process_control.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/bounded_call.hpp"
#include "support/host/slow_x_relay.hpp"
#include "support/host/test_host.hpp"
#include "support/host/x_server.hpp"
#include "support/suite/case_name.hpp"

namespace orvo::launch {
namespace {

namespace fs = std::filesystem;

// A test host that has shown (or, hidden, created) its window; ended at the end.
class ShownHost {
 public:
  explicit ShownHost(const std::string& behaviour) {
    fs::copy_file(ORVO_TEST_HOST, dir_ / "ORVO.Host.exe");
    test::write_file(dir_ / test::kHostBehaviourFile,
                     behaviour + "\nready_file " + (dir_ / "ready").string() + "\n");
    auto started = platform::start_process(dir_ / "ORVO.Host.exe", dir_.path());
    if (!started) {
      ADD_FAILURE() << started.error().chain_text();
      return;
    }
    process_ = std::move(*started);
    if (!test::wait_for_ready_file(dir_ / "ready")) ADD_FAILURE() << "the host showed no window";
  }
  ShownHost(const ShownHost&) = delete;
  ShownHost& operator=(const ShownHost&) = delete;
  ~ShownHost() {
    if (!process_.valid()) return;
    (void)platform::end_process(process_, 1);
    (void)platform::wait_for_exit(process_);
  }
  const platform::Process& process() const { return process_; }

 private:
  test::TempDir dir_;
  platform::Process process_;
};

HostWindowSearch search_windows(const platform::WindowSystem& windows, std::uint32_t process_id) {
  HostWindowSearch search{.window = platform::kNoWindow, .process_id = process_id};
  windows.enumerate_windows(match_host_window, reinterpret_cast<std::intptr_t>(&search));
  return search;
}

// The first window of the process, visible or not.
platform::WindowHandle first_window_of(const platform::WindowSystem& windows,
                                       std::uint32_t process_id) {
  struct Found {
    std::uint32_t process_id;
    platform::WindowHandle window;
  } found{process_id, platform::kNoWindow};
  windows.enumerate_windows(
      [](platform::WindowHandle window, std::intptr_t param) {
        auto& f = *reinterpret_cast<Found*>(param);
        if (platform::window_process_id(window) == f.process_id) f.window = window;
        return f.window == platform::kNoWindow;
      },
      reinterpret_cast<std::intptr_t>(&found));
  return found.window;
}

int count_windows(const platform::WindowSystem& windows) {
  int visited = 0;
  windows.enumerate_windows(
      [](platform::WindowHandle, std::intptr_t param) {
        ++*reinterpret_cast<int*>(param);
        return true;
      },
      reinterpret_cast<std::intptr_t>(&visited));
  return visited;
}

struct MatchCase {
  std::string name;
  std::string behaviour;
  bool other_process = false;
  bool matches = false;
};

const MatchCase kMatchCases[] = {
    {"the host window", "", false, true},
    {"a title set only as WM_NAME", "legacy_title", false, true},
    {"a longer class after the prefix", "class WindowsForms10.", false, true},
    {"inside a window manager's frame", "framed", false, true},
    {"hidden inside a frame", "framed\nhidden", false, false},
    {"minimised", "iconic", false, true},
    {"minimised inside a frame", "framed\niconic", false, true},
    {"hidden", "hidden", false, false},
    {"a title with a trailing blank", "title ORVO Host ", false, false},
    {"a title in other letters", "title ORVO HOST", false, false},
    {"a class without the final dot", "class WindowsForms10", false, false},
    {"a class in other letters", "class windowsforms10.Window.8", false, false},
    {"a window of another process", "", true, false},
};

class MatchHostWindow : public test::WithXServer, public testing::WithParamInterface<MatchCase> {};

TEST_P(MatchHostWindow, Decision) {
  const MatchCase& c = GetParam();
  ShownHost host(c.behaviour);
  const platform::WindowSystem windows;
  const std::uint32_t process_id = c.other_process ? static_cast<std::uint32_t>(::getpid())
                                                   : platform::process_id(host.process());
  const HostWindowSearch search = search_windows(windows, process_id);
  EXPECT_EQ(search.window != platform::kNoWindow, c.matches);
  EXPECT_EQ(search.process_id, process_id);
}

INSTANTIATE_TEST_SUITE_P(Cases, MatchHostWindow, testing::ValuesIn(kMatchCases),
                         [](const auto& info) { return test::case_name(info.param.name); });

class WindowLayer : public test::WithXServer {};

TEST_F(WindowLayer, LongTextsAreCutToTheBufferAndACutPairIsReplaced) {
  // 126 letters and a character outside the basic plane: its second unit
  // does not fit a 128-unit buffer beside the terminating zero.
  const std::string title = std::string(126, 'a') + "\xf0\x9f\x98\x80";
  const std::string window_class = "WindowsForms10." + std::string(300, 'c');
  ShownHost host("title " + title + "\nclass " + window_class);
  const platform::WindowSystem windows;

  const platform::WindowHandle window =
      first_window_of(windows, platform::process_id(host.process()));
  ASSERT_NE(window, platform::kNoWindow);

  std::u16string title_units(kWindowTitleUnits, u'x');
  ASSERT_EQ(platform::window_title(window, title_units), kWindowTitleUnits - 1);
  EXPECT_EQ(title_units.back(), u'\0');
  EXPECT_EQ(utf16_text(std::u16string_view(title_units).substr(0, kWindowTitleUnits - 1)),
            std::string(126, 'a') + "\xef\xbf\xbd");

  std::u16string class_units(kWindowClassUnits, u'x');
  ASSERT_EQ(platform::window_class_name(window, class_units), kWindowClassUnits - 1);
  EXPECT_EQ(utf16_text(std::u16string_view(class_units).substr(0, kWindowClassUnits - 1)),
            window_class.substr(0, kWindowClassUnits - 1));
}

TEST_F(WindowLayer, OnlyAShownWindowIsReadyAndOnlyAnAnsweringOneAnswers) {
  const struct {
    std::string behaviour;
    bool input_idle;
    bool answers;
  } cases[] = {
      {"", true, true},       {"hang", true, false},           {"hidden", false, true},
      {"framed", true, true}, {"iconic", true, true}, {"framed\niconic", true, true}};
  // A "no" ends at the limit, so its limit is small; a "yes" must come before
  // the limit, which is then far above what an X round trip needs on a loaded
  // machine.
  const auto limit = [](bool yes, std::chrono::milliseconds no_limit) {
    return yes ? std::chrono::milliseconds(20'000) : no_limit;
  };
  for (const auto& c : cases) {
    ShownHost host(c.behaviour);
    const platform::WindowSystem windows;
    const std::uint32_t process_id = platform::process_id(host.process());
    EXPECT_EQ(windows.wait_input_idle(host.process(),
                                      limit(c.input_idle, std::chrono::milliseconds(100))),
              c.input_idle)
        << c.behaviour;
    const platform::WindowHandle window = first_window_of(windows, process_id);
    ASSERT_NE(window, platform::kNoWindow) << c.behaviour;
    EXPECT_EQ(windows.answers(window, limit(c.answers, std::chrono::milliseconds(200))), c.answers)
        << c.behaviour;
  }
}

// As with the desktop's own enumeration, the window on top comes first.
TEST_F(WindowLayer, OfTwoMatchingWindowsTheUpperOneIsFound) {
  const std::string upper_class = "WindowsForms10.upper";
  ShownHost host("second_class " + upper_class);
  const platform::WindowSystem windows;
  const HostWindowSearch search = search_windows(windows, platform::process_id(host.process()));
  ASSERT_NE(search.window, platform::kNoWindow);
  std::u16string class_units(kWindowClassUnits, u'\0');
  const std::size_t length = platform::window_class_name(search.window, class_units);
  EXPECT_EQ(utf16_text(std::u16string_view(class_units).substr(0, length)), upper_class);
}

// Every message to and from the server late, as on a remote or overloaded
// display. A search makes many round trips, together far longer than the
// input-idle bound the host's start gives, which bounds the polling and not
// the round trips of the search made for it; each round trip (two crossings)
// stays a tenth of the half second that one exchange with the server may
// last. The answer must come before its limit, which is then far above what
// its four late crossings need.
TEST_F(WindowLayer, OnASlowDisplayTheHostsWindowIsFoundReadyAndAnswering) {
  const test::SlowXRelay relay(server().display(), std::chrono::milliseconds(25));
  for (const std::string behaviour : {"", "framed"}) {
    ShownHost host(behaviour);
    const platform::WindowSystem windows;
    const HostWindowSearch search = search_windows(windows, platform::process_id(host.process()));
    ASSERT_NE(search.window, platform::kNoWindow) << behaviour;
    EXPECT_TRUE(windows.wait_input_idle(host.process(), std::chrono::milliseconds(100)))
        << behaviour;
    EXPECT_TRUE(windows.answers(search.window, std::chrono::milliseconds(20'000))) << behaviour;
  }
}

TEST_F(WindowLayer, AServerThatGoesAwayLeavesAConnectionWithoutWindows) {
  const platform::WindowSystem windows;
  server().stop();
  EXPECT_EQ(count_windows(windows), 0);
}

// A server that goes away, or hangs, amid a search leaves windows without
// properties or answers, and no windows for a new connection; no call waits
// for the hanging one past its bound.
class LostServer : public test::WithXServer, public testing::WithParamInterface<bool> {};

TEST_P(LostServer, LeavesWindowsThatAreNoLongerThere) {
  const bool frozen = GetParam();
  ShownHost host("");
  const platform::WindowSystem windows;
  const platform::WindowHandle window =
      first_window_of(windows, platform::process_id(host.process()));
  ASSERT_NE(window, platform::kNoWindow);
  if (frozen) {
    server().freeze();
  } else {
    server().stop();
  }
  const bool in_time = test::ends_within(
      std::chrono::seconds(20),
      [&] {
        EXPECT_EQ(platform::window_process_id(window), 0U);
        EXPECT_FALSE(platform::window_visible(window));
        std::u16string units(kWindowTitleUnits, u'x');
        EXPECT_EQ(platform::window_title(window, units), 0U);
        EXPECT_EQ(platform::window_class_name(window, units), 0U);
        EXPECT_FALSE(windows.wait_input_idle(host.process(), std::chrono::milliseconds(100)));
        EXPECT_FALSE(windows.answers(window, std::chrono::milliseconds(200)));
        EXPECT_EQ(count_windows(windows), 0);
        const platform::WindowSystem later;
        EXPECT_EQ(count_windows(later), 0);
      },
      [&] { server().thaw(); });
  server().thaw();
  EXPECT_TRUE(in_time) << "a call waited for the server";
}

INSTANTIATE_TEST_SUITE_P(Ways, LostServer, testing::Bool(), [](const auto& info) {
  return std::string(info.param ? "Frozen" : "Stopped");
});

TEST(WindowLayerWithoutDisplay, FindsNoWindowsAndDoesNotFail) {
  const char* previous = std::getenv("DISPLAY");
  const std::optional<std::string> saved =
      previous ? std::optional<std::string>(previous) : std::nullopt;
  for (const char* display : {static_cast<const char*>(nullptr), ":65000"}) {
    if (display != nullptr) {
      ::setenv("DISPLAY", display, 1);
    } else {
      ::unsetenv("DISPLAY");
    }
    const platform::WindowSystem windows;
    EXPECT_EQ(count_windows(windows), 0) << (display ? display : "no DISPLAY");
  }
  if (saved) {
    ::setenv("DISPLAY", saved->c_str(), 1);
  } else {
    ::unsetenv("DISPLAY");
  }
}

}  // namespace
}  // namespace orvo::launch
