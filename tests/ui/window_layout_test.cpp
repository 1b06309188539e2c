// The layout at the DPIs a screen may report: each length scaled on its own
// and truncated, anything below 97 counting as 96.
#include "ui/window_layout.hpp"

#include <gtest/gtest.h>

#include <string>

namespace orvo::ui {
namespace {

struct LayoutCase {
  std::string label;
  int reported_dpi;
  int client_width;
  int client_height;
  int body_font;
  int title_font;
  Control control;
  Rect rect;
};

class LayoutAtDpi : public testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutAtDpi, ScalesEachLengthOnItsOwn) {
  const LayoutCase& c = GetParam();
  const WindowLayout layout = layout_for_dpi(c.reported_dpi);
  EXPECT_EQ(layout.client_width, c.client_width);
  EXPECT_EQ(layout.client_height, c.client_height);
  EXPECT_EQ(layout.body_font_height, c.body_font);
  EXPECT_EQ(layout.title_font_height, c.title_font);
  EXPECT_EQ(layout.rect_of(c.control), c.rect);
}

INSTANTIATE_TEST_SUITE_P(
    Dpis, LayoutAtDpi,
    testing::Values(
        LayoutCase{"At96Retry", 96, 500, 248, 16, 26, Control::Retry, {268, 205, 96, 30}},
        LayoutCase{"At96Title", 96, 500, 248, 16, 26, Control::Title, {28, 22, 444, 38}},
        LayoutCase{"At96Note", 96, 500, 248, 16, 26, Control::Note, {28, 177, 444, 23}},
        LayoutCase{"At72CountsAs96", 72, 500, 248, 16, 26, Control::Details, {28, 205, 112, 30}},
        LayoutCase{"At0CountsAs96", 0, 500, 248, 16, 26, Control::Cancel, {376, 205, 96, 30}},
        LayoutCase{"At97Retry", 97, 505, 250, 16, 26, Control::Retry, {270, 207, 97, 30}},
        LayoutCase{"At120Retry", 120, 625, 310, 20, 32, Control::Retry, {335, 256, 120, 37}},
        LayoutCase{"At120Cancel", 120, 625, 310, 20, 32, Control::Cancel, {470, 256, 120, 37}},
        LayoutCase{"At120Details", 120, 625, 310, 20, 32, Control::Details, {35, 256, 140, 37}},
        LayoutCase{"At120Status", 120, 625, 310, 20, 32, Control::Status, {35, 87, 555, 87}},
        LayoutCase{"At144Progress", 144, 750, 372, 24, 39, Control::Progress, {42, 219, 666, 27}}),
    [](const auto& info) { return info.param.label; });

TEST(DpiScale, TruncatesTowardZero) {
  EXPECT_EQ(dpi_scale(500, 97), 505);   // 505.2
  EXPECT_EQ(dpi_scale(-101, 97), -102); // -102.05
  EXPECT_EQ(dpi_scale(1, 191), 1);      // 1.99
}

TEST(DpiScale, AnAbsurdDpiSaturatesInsteadOfOverflowing) {
  EXPECT_EQ(dpi_scale(500, 2'000'000'000), 2'147'483'647);
}

TEST(CentredOrigin, HalvesTheDifferenceTruncatedTowardZero) {
  EXPECT_EQ(centred_origin(1280, 500), 390);
  EXPECT_EQ(centred_origin(1281, 500), 390);
  EXPECT_EQ(centred_origin(399, 500), -50);  // a difference of -101
  EXPECT_EQ(centred_origin(500, 500), 0);
}

TEST(Controls, AreInCreationOrderWithTheirIdsAndFonts) {
  ASSERT_EQ(kControls.size(), 7U);
  const Control order[] = {Control::Title, Control::Status, Control::Progress, Control::Note,
                           Control::Retry, Control::Cancel, Control::Details};
  for (std::size_t i = 0; i < kControls.size(); ++i) EXPECT_EQ(kControls[i].control, order[i]);
  EXPECT_EQ(kControls[4].id, 101);
  EXPECT_EQ(kControls[5].id, 102);
  EXPECT_EQ(kControls[6].id, 103);
  EXPECT_TRUE(kControls[4].default_button);
  EXPECT_EQ(kControls[0].font, FontRole::Title);
  EXPECT_EQ(font_layout(FontRole::Title).weight, 600);
  EXPECT_EQ(font_layout(FontRole::Body).weight, 400);
}

}  // namespace
}  // namespace orvo::ui
