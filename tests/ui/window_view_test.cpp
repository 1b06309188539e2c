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
#include "ui/window_layout.hpp"

namespace orvo::ui {

void PrintTo(const Rect& rect, std::ostream* out) {
  *out << rect.x << "," << rect.y << " " << rect.width << "x" << rect.height;
}

namespace {

// The probe's report: its lines by their first word and, for controls and
// fonts, the control's name.
struct ProbeReport {
  std::map<std::string, std::vector<std::string>> lines;

  const std::vector<std::string>& operator[](const std::string& key) const {
    static const std::vector<std::string> none;
    const auto found = lines.find(key);
    return found != lines.end() ? found->second : none;
  }
  Rect rect(const std::string& control) const {
    const auto& words = (*this)["control " + control];
    if (words.size() < 4) return {};
    return {std::stoi(words[0]), std::stoi(words[1]), std::stoi(words[2]), std::stoi(words[3])};
  }
  std::string state(const std::string& control) const {
    const auto& words = (*this)["control " + control];
    return words.size() < 6 ? "" : words[4] + " " + words[5];
  }
  int font_pixels(const std::string& control) const {
    const auto& words = (*this)["font " + control];
    return words.empty() ? 0 : std::stoi(words[0]);
  }
};

ProbeReport parse(const std::string& text) {
  ProbeReport report;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "control" || key == "font") {
      std::string name;
      words >> name;
      key += " " + name;
    }
    std::vector<std::string> rest;
    for (std::string word; words >> word;) rest.push_back(word);
    report.lines[key] = rest;
  }
  return report;
}

const char* const kNames[] = {"title", "status", "progress", "note", "retry", "cancel", "details"};

struct DpiCase {
  std::string label;
  int dpi;
  int client_width;
  int client_height;
  int body_font;
  int title_font;
  std::map<std::string, Rect> named;  // rectangles the layout's edge cases name
  friend void PrintTo(const DpiCase& c, std::ostream* out) { *out << c.label; }
};

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
    SCOPED_TRACE(kNames[i]);
    EXPECT_EQ(report.rect(kNames[i]), layout.rects[i]);
    EXPECT_EQ(report.font_pixels(kNames[i]), i == 0 ? c.title_font : c.body_font);
  }
  for (const auto& [name, rect] : c.named) {
    SCOPED_TRACE(name);
    EXPECT_EQ(report.rect(name), rect);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Dpis, WindowAtDpi,
    testing::Values(
        DpiCase{"At72", 72, 500, 248, 16, 26, {{"retry", {268, 205, 96, 30}}}},
        DpiCase{"At96",
                96,
                500,
                248,
                16,
                26,
                {{"title", {28, 22, 444, 38}},
                 {"status", {28, 70, 444, 70}},
                 {"progress", {28, 146, 444, 18}},
                 {"note", {28, 177, 444, 23}},
                 {"retry", {268, 205, 96, 30}},
                 {"cancel", {376, 205, 96, 30}},
                 {"details", {28, 205, 112, 30}}}},
        DpiCase{"At97", 97, 505, 250, 16, 26, {{"retry", {270, 207, 97, 30}}}},
        DpiCase{"At120",
                120,
                625,
                310,
                20,
                32,
                {{"retry", {335, 256, 120, 37}},
                 {"cancel", {470, 256, 120, 37}},
                 {"details", {35, 256, 140, 37}},
                 {"status", {35, 87, 555, 87}}}},
        DpiCase{"At144", 144, 750, 372, 24, 39, {{"progress", {42, 219, 666, 27}}}}),
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
  const ProbeReport report = probe("running");
  EXPECT_EQ(report.state("title"), "shown enabled");
  EXPECT_EQ(report.state("status"), "shown enabled");
  EXPECT_EQ(report.state("progress"), "shown enabled");
  EXPECT_EQ(report.state("note"), "shown enabled");
  EXPECT_EQ(report.state("retry"), "hidden enabled");
  EXPECT_EQ(report.state("cancel"), "shown enabled");
  EXPECT_EQ(report.state("details"), "hidden enabled");
  EXPECT_EQ(report["focus"], std::vector<std::string>{"none"});
  EXPECT_EQ(report["tab"], (std::vector<std::string>{"cancel", "cancel", "cancel", "cancel"}));
}

TEST_F(WindowViews, TheFailureViewFocusesRetryAndTabsInCreationOrder) {
  const ProbeReport report = probe("failure");
  EXPECT_EQ(report.state("progress"), "hidden enabled");
  EXPECT_EQ(report.state("retry"), "shown enabled");
  EXPECT_EQ(report.state("cancel"), "shown enabled");
  EXPECT_EQ(report.state("details"), "shown enabled");
  EXPECT_EQ(report["focus"], std::vector<std::string>{"retry"});
  EXPECT_EQ(report["tab"], (std::vector<std::string>{"cancel", "details", "retry", "cancel"}));
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
