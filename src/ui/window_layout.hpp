// The progress window's fixed layout, in 96-DPI units, and its scaling to the
// screen's DPI: the client area, the seven controls in creation order (also
// their tab and stacking order) and the two fonts. Each length is scaled on
// its own, so rounding never accumulates.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvo::ui {

inline constexpr int kBaseDpi = 96;

// Control IDs of the buttons; the other controls carry 0.
inline constexpr int kIdRetry = 101;
inline constexpr int kIdCancel = 102;
inline constexpr int kIdViewDetails = 103;

inline constexpr int kPollTimerId = 1;
inline constexpr int kPollIntervalMs = 100;
inline constexpr int kMarqueeStepMs = 35;
// RGB(36, 43, 53) of every static text.
inline constexpr std::uint8_t kTextRed = 36;
inline constexpr std::uint8_t kTextGreen = 43;
inline constexpr std::uint8_t kTextBlue = 53;

// The DPI the layout uses for a reported value: anything below 97 counts as 96.
int effective_dpi(int reported_dpi);

// n × dpi ÷ 96, truncated toward zero.
int dpi_scale(int n, int dpi);

enum class ControlKind { Label, ProgressBar, Button };
enum class FontRole { Body, Title };

// The controls that attempt control reaches; the title and note lines are never changed.
enum class Control { Title, Status, Progress, Note, Retry, Cancel, Details };

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct ControlLayout {
  Control control;
  ControlKind kind;
  std::string_view text;
  Rect rect;  // in 96-DPI units
  int id;
  FontRole font;
  bool default_button;
};

struct FontLayout {
  int pixel_height;  // the character height, in 96-DPI units
  int weight;
};

inline constexpr int kClientWidth = 500;
inline constexpr int kClientHeight = 248;

extern const std::array<ControlLayout, 7> kControls;

FontLayout font_layout(FontRole role);

// The control's place in kControls.
std::size_t control_index(Control control);

// The layout at one DPI, every length already scaled.
struct WindowLayout {
  int dpi = kBaseDpi;
  int client_width = 0;
  int client_height = 0;
  std::array<Rect, 7> rects{};  // in the order of kControls
  int body_font_height = 0;
  int title_font_height = 0;

  const Rect& rect_of(Control control) const;
};

// The reported DPI goes through effective_dpi first.
WindowLayout layout_for_dpi(int reported_dpi);

// The origin that centres a window on a screen; a window larger than the
// screen gets a negative origin, half the difference truncated toward zero.
int centred_origin(int screen_length, int window_length);

}  // namespace orvo::ui
