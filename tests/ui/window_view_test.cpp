// The GTK window under Xvfb at the DPIs the layout names: the client size and
// every control's allocated rectangle, the fonts' pixel heights, what is
// shown, enabled and focused right after start-up and in the failure view,
// and the Tab order. The probe program shows the real view driven by the real
// attempt control; at 96 and 144 DPI it also leaves screenshots in the build
// folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/host/x_server.hpp"
#include "support/suite/run_program.hpp"
#include "ui/dpi_cases.hpp"
#include "ui/probe_report.hpp"
#include "ui/window_layout.hpp"

namespace orvo::ui {

namespace {

using test::DpiCase;
using test::parse;
using test::ProbeReport;

class WindowAtDpi : public testing::TestWithParam<DpiCase> {
 protected:
  ProbeReport probe(const std::string& view, const std::string& screenshot = {}) {
    std::vector<std::string> args = {view};
    if (!screenshot.empty()) args.push_back(screenshot);
    const test::ProgramOutput output = test::run_program(ORVO_VIEW_PROBE, args);
    EXPECT_EQ(output.exit_code, 0) << output.err;
    return parse(output.out);
  }
};

TEST_P(WindowAtDpi, ControlsSitAtTheirScaledRectangles) {
  if (!test::xvfb_installed()) GTEST_SKIP() << "Xvfb is not installed";
  const DpiCase& c = GetParam();
  test::XServer server({.width = 1280, .height = 1024, .dpi = c.dpi, .xft_dpi = c.dpi});
  ASSERT_TRUE(server.running());
  const ProbeReport report = probe("running");
  EXPECT_EQ(report["dpi"], std::vector<std::string>{std::to_string(c.dpi < 97 ? 96 : c.dpi)});
  EXPECT_EQ(report["client"],
            (std::vector<std::string>{std::to_string(c.client_width), std::to_string(c.client_height)}));
  // Centred on the 1280 × 1024 screen.
  EXPECT_EQ(report["origin"], (std::vector<std::string>{std::to_string((1280 - c.client_width) / 2),
                                                         std::to_string((1024 - c.client_height) / 2)}));
  const WindowLayout layout = layout_for_dpi(c.dpi);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    SCOPED_TRACE(test::kControlNames[i]);
    EXPECT_EQ(report.rect(test::kControlNames[i]), layout.rects[i]);
    EXPECT_EQ(report.font_pixels(test::kControlNames[i]), i == 0 ? c.title_font : c.body_font);
  }
  for (const auto& [name, rect] : c.named) {
    SCOPED_TRACE(name);
    EXPECT_EQ(report.rect(name), rect);
  }
}

INSTANTIATE_TEST_SUITE_P(Dpis, WindowAtDpi, testing::ValuesIn(test::kDpiCases),
                         [](const auto& info) { return info.param.label; });

class WindowViews : public test::WithXServer {
 protected:
  static ProbeReport probe(const std::string& view) {
    const test::ProgramOutput output = test::run_program(ORVO_VIEW_PROBE, {view});
    EXPECT_EQ(output.exit_code, 0) << output.err;
    return parse(output.out);
  }
};

TEST_F(WindowViews, RightAfterStartUpOnlyCancelOfTheButtonsShowsAndNothingHasTheFocus) {
  test::expect_running_view(probe("running"));
}

TEST_F(WindowViews, TheFailureViewFocusesRetryAndTabsInCreationOrder) {
  test::expect_failure_view(probe("failure"));
}

// Pictures for people to look at; the test checks only that they were written.
TEST(WindowScreenshots, RunningAndFailureViewsAt96And144Dpi) {
  if (!test::xvfb_installed()) GTEST_SKIP() << "Xvfb is not installed";
  std::filesystem::create_directories(ORVO_SCREENSHOT_DIR);
  for (const int dpi : {96, 144}) {
    test::XServer server({.width = 1280, .height = 1024, .dpi = dpi, .xft_dpi = dpi});
    ASSERT_TRUE(server.running());
    for (const std::string view : {"running", "failure"}) {
      const std::filesystem::path picture = std::filesystem::path(ORVO_SCREENSHOT_DIR) /
                                            ("launcher-" + std::to_string(dpi) + "-" + view + ".png");
      std::filesystem::remove(picture);
      const test::ProgramOutput output = test::run_program(ORVO_VIEW_PROBE, {view, picture.string()});
      EXPECT_EQ(output.exit_code, 0) << output.err;
      EXPECT_GT(std::filesystem::file_size(picture), 1000U) << picture;
    }
  }
}

}  // namespace
}  // namespace orvo::ui
