#include "ui/window_layout.hpp"

#include <algorithm>
#include <cstdint>

#include "ui/launcher_texts.hpp"

namespace orvo::ui {

const std::array<ControlLayout, 7> kControls = {{
    {Control::Title, ControlKind::Label, kTitleText, {28, 22, 444, 38}, 0, FontRole::Title, false},
    {Control::Status, ControlKind::Label, kPreparingText, {28, 70, 444, 70}, 0, FontRole::Body,
     false},
    {Control::Progress, ControlKind::ProgressBar, "", {28, 146, 444, 18}, 0, FontRole::Body,
     false},
    {Control::Note, ControlKind::Label, kNoteText, {28, 177, 444, 23}, 0, FontRole::Body, false},
    {Control::Retry, ControlKind::Button, kRetryText, {268, 205, 96, 30}, kIdRetry,
     FontRole::Body, true},
    {Control::Cancel, ControlKind::Button, kCancelText, {376, 205, 96, 30}, kIdCancel,
     FontRole::Body, false},
    {Control::Details, ControlKind::Button, kDetailsText, {28, 205, 112, 30}, kIdViewDetails,
     FontRole::Body, false},
}};

int effective_dpi(int reported_dpi) { return reported_dpi >= 97 ? reported_dpi : kBaseDpi; }

int dpi_scale(int n, int dpi) {
  // Computed wide and brought back, so that an absurd DPI cannot overflow.
  const std::int64_t scaled = static_cast<std::int64_t>(n) * dpi / kBaseDpi;
  return static_cast<int>(std::clamp<std::int64_t>(scaled, INT32_MIN, INT32_MAX));
}

FontLayout font_layout(FontRole role) {
  return role == FontRole::Title ? FontLayout{26, 600} : FontLayout{16, 400};
}

std::size_t control_index(Control control) {
  const auto found = std::ranges::find(kControls, control, &ControlLayout::control);
  return static_cast<std::size_t>(found - kControls.begin());
}

const Rect& WindowLayout::rect_of(Control control) const { return rects[control_index(control)]; }

WindowLayout layout_for_dpi(int reported_dpi) {
  const int dpi = effective_dpi(reported_dpi);
  WindowLayout layout;
  layout.dpi = dpi;
  layout.client_width = dpi_scale(kClientWidth, dpi);
  layout.client_height = dpi_scale(kClientHeight, dpi);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const Rect& base = kControls[i].rect;
    layout.rects[i] = {dpi_scale(base.x, dpi), dpi_scale(base.y, dpi), dpi_scale(base.width, dpi),
                       dpi_scale(base.height, dpi)};
  }
  layout.body_font_height = dpi_scale(font_layout(FontRole::Body).pixel_height, dpi);
  layout.title_font_height = dpi_scale(font_layout(FontRole::Title).pixel_height, dpi);
  return layout;
}

int centred_origin(int screen_length, int window_length) {
  return (screen_length - window_length) / 2;
}

}  // namespace orvo::ui
