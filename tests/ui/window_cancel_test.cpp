// Cancel and the title bar's close while an attempt runs, in the real GTK
// window: the probe's attempt runs until its flag is set and then ends with
// Failed, or with Launched carrying a real host, which the window must end
// before it closes.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>

#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"
#include "support/host/x_server.hpp"
#include "support/host/x_windows.hpp"
#include "support/suite/run_program.hpp"
#include "ui/launcher_texts.hpp"

namespace orvo::ui {
namespace {

struct CancelCase {
  std::string label;
  bool title_bar;      // else the Cancel button, reached with Tab
  bool ends_launched;  // else the attempt ends with Failed
};

// Kills this process's children that run the probe, unless disarmed: a test
// that gives up on the probe's window or its end must fail, not wait forever
// for a probe that runs until its window is closed.
class ProbeStopper {
 public:
  ProbeStopper() = default;
  ProbeStopper(const ProbeStopper&) = delete;
  ProbeStopper& operator=(const ProbeStopper&) = delete;
  ~ProbeStopper() {
    if (!armed_) return;
    namespace fs = std::filesystem;
    const fs::path probe = fs::canonical(ORVO_VIEW_PROBE);
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
      std::ifstream children(task.path() / "children");
      for (int pid = 0; children >> pid;) {
        std::error_code error;
        const fs::path program = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
        if (!error && program == probe) ::kill(pid, SIGKILL);
      }
    }
  }
  void disarm() { armed_ = false; }

 private:
  bool armed_ = true;
};

// Whether the file has some content before the bound runs out.
bool written_within(const std::filesystem::path& file, std::chrono::seconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code error;
    if (std::filesystem::file_size(file, error) > 0 && !error) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

class CancelWhileRunning : public test::WithXServer,
                           public testing::WithParamInterface<CancelCase> {};

TEST_P(CancelWhileRunning, ClosesTheWindowOnceTheAttemptEnds) {
  const CancelCase& c = GetParam();
  test::TempDir host_folder;
  test::write_file(host_folder / std::string(test::kHostBehaviourFile), "delay_ms 60000\n");
  const std::filesystem::path progress_shown = host_folder / "progress-shown";
  std::vector<std::string> args = {"until-closed", c.ends_launched ? "launched" : "failed",
                                   progress_shown.string()};
  if (c.ends_launched) {
    args.push_back(ORVO_TEST_HOST);
    args.push_back(host_folder.path().string());
  }
  auto probe = std::async(std::launch::async,
                          [&] { return test::run_program(ORVO_VIEW_PROBE, args); });
  ProbeStopper stopper;
  test::XWindows windows;
  const auto window = windows.wait_for_class(kWindowClass);
  ASSERT_TRUE(window);
  // The close comes while the attempt runs and its progress keeps arriving;
  // the window already shows some.
  ASSERT_TRUE(written_within(progress_shown, std::chrono::seconds(300)));
  if (c.title_bar) {
    windows.close(*window);
  } else {
    ASSERT_TRUE(windows.type(*window, {"Tab", "Return"}));
  }
  // Ten times what the attempt's end and the window's close need on a loaded
  // single core under a sanitizer.
  ASSERT_EQ(probe.wait_for(std::chrono::seconds(300)), std::future_status::ready);
  stopper.disarm();
  const test::ProgramOutput output = probe.get();
  EXPECT_EQ(output.exit_code, 0) << output.err;
  EXPECT_NE(output.out.find("closed"), std::string::npos) << output.out;
  if (c.ends_launched) {
    const auto at = output.out.find("host ");
    ASSERT_NE(at, std::string::npos) << output.out;
    const int pid = std::stoi(output.out.substr(at + 5));
    EXPECT_FALSE(test::process_exists(pid)) << "the cancelled host still runs";
  }
}

INSTANTIATE_TEST_SUITE_P(Ways, CancelWhileRunning,
                         testing::Values(CancelCase{"CancelThenFailed", false, false},
                                         CancelCase{"TitleBarThenFailed", true, false},
                                         CancelCase{"CancelThenLaunched", false, true},
                                         CancelCase{"TitleBarThenLaunched", true, true}),
                         [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace orvo::ui
