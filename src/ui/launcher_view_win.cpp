// <commctrl.h> needs the declarations of <windows.h> before it.
#include "platform/win32.hpp"

#include <commctrl.h>

#include <vector>

#include "platform/desktop/default_program.hpp"
#include "ui/attempt_control.hpp"
#include "ui/launcher_texts.hpp"
#include "ui/launcher_view_win.hpp"
#include "ui/wide_text.hpp"

namespace orvo::ui {
namespace {

constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr std::string_view kFontFace = "Segoe UI";

// Windows takes UTF-16 as wchar_t, which is 16 bits wide on every Windows compiler.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
const wchar_t* units(const std::vector<char16_t>& text) {
  return reinterpret_cast<const wchar_t*>(text.data());
}

LauncherWindow* attached_record(HWND window) {
  return reinterpret_cast<LauncherWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK launcher_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LauncherWindow* record = attached_record(window);
  switch (message) {
    case WM_DESTROY:
      KillTimer(window, kPollTimerId);
      PostQuitMessage(0);
      return 0;
    case WM_CLOSE:
      if (record != nullptr) {
        cancel_or_close(*record);
      } else {
        DestroyWindow(window);
      }
      return 0;
    case WM_COMMAND:
      if (record == nullptr) break;
      handle_command(*record, LOWORD(wparam));
      return 0;
    case WM_TIMER:
      if (record == nullptr) break;
      poll_tick(*record);
      return 0;
    case WM_CTLCOLORSTATIC: {
      const auto context = reinterpret_cast<HDC>(wparam);
      SetBkMode(context, TRANSPARENT);
      SetTextColor(context, RGB(kTextRed, kTextGreen, kTextBlue));
      // A system brush: never deleted.
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

std::string_view class_of(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label: return "STATIC";
    case ControlKind::ProgressBar: return "msctls_progress32";
    case ControlKind::Button: return "BUTTON";
  }
  return "STATIC";
}

std::uint32_t extra_style_of(const ControlLayout& item) {
  switch (item.kind) {
    case ControlKind::Label: return 0;
    case ControlKind::ProgressBar: return PBS_MARQUEE;
    case ControlKind::Button: return WS_TABSTOP | (item.default_button ? BS_DEFPUSHBUTTON : 0);
  }
  return 0;
}

HFONT make_font(int pixel_height, int weight) {
  const std::vector<char16_t> face = to_wide_null(kFontFace);
  // A negative height asks for that character height in pixels.
  HFONT font = CreateFontW(-pixel_height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, 0,
                           units(face));
  return font;
}

}  // namespace

void register_launcher_class() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);

  // The system keeps its own copy of the name.
  const std::vector<char16_t> class_name = to_wide_null(kWindowClass);
  WNDCLASSW window_class{};
  window_class.style = 0;
  window_class.lpfnWndProc = launcher_window_proc;
  window_class.cbClsExtra = 0;
  window_class.cbWndExtra = 0;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  window_class.lpszMenuName = nullptr;
  window_class.lpszClassName = units(class_name);
  RegisterClassW(&window_class);
}

void* create_child_control(void* parent, std::string_view class_name, std::string_view text,
                           std::uint32_t extra_style, int x, int y, int width, int height,
                           std::intptr_t control_id, void* font) {
  HWND control = nullptr;
  {
    const std::vector<char16_t> wide_class = to_wide_null(class_name);
    const std::vector<char16_t> wide_text = to_wide_null(text);
    control = CreateWindowExW(0, units(wide_class), units(wide_text),
                              WS_CHILD | WS_VISIBLE | extra_style, x, y, width, height,
                              static_cast<HWND>(parent), reinterpret_cast<HMENU>(control_id),
                              GetModuleHandleW(nullptr), nullptr);
  }
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
  return control;
}

Win32LauncherView::Win32LauncherView(const WindowLayout& layout) {
  RECT bounds{0, 0, layout.client_width, layout.client_height};
  AdjustWindowRect(&bounds, kMainWindowStyle, FALSE);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  const int x = centred_origin(GetSystemMetrics(SM_CXSCREEN), width);
  const int y = centred_origin(GetSystemMetrics(SM_CYSCREEN), height);
  {
    const std::vector<char16_t> class_name = to_wide_null(kWindowClass);
    const std::vector<char16_t> title = to_wide_null(kCaption);
    window_ = CreateWindowExW(0, units(class_name), units(title), kMainWindowStyle, x, y, width,
                              height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  if (window_ == nullptr) return;

  body_font_ = make_font(layout.body_font_height, font_layout(FontRole::Body).weight);
  title_font_ = make_font(layout.title_font_height, font_layout(FontRole::Title).weight);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlLayout& item = kControls[i];
    const Rect& rect = layout.rects[i];
    controls_[i] = create_child_control(window_, class_of(item.kind), item.text,
                                        extra_style_of(item), rect.x, rect.y, rect.width,
                                        rect.height, item.id,
                                        item.font == FontRole::Title ? title_font_ : body_font_);
  }
}

Win32LauncherView::~Win32LauncherView() {
  if (window_ != nullptr && IsWindow(static_cast<HWND>(window_)) != FALSE) {
    // Detached first, so that the window's last messages find no record.
    SetWindowLongPtrW(static_cast<HWND>(window_), GWLP_USERDATA, 0);
    DestroyWindow(static_cast<HWND>(window_));
  }
  delete_fonts();
}

void Win32LauncherView::attach(LauncherWindow* record) {
  const auto window = static_cast<HWND>(window_);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
  SetTimer(window, kPollTimerId, kPollIntervalMs, nullptr);
}

void Win32LauncherView::show() {
  ShowWindow(static_cast<HWND>(window_), SW_SHOWNORMAL);
  UpdateWindow(static_cast<HWND>(window_));
}

void Win32LauncherView::delete_fonts() {
  for (void** font : {&body_font_, &title_font_}) {
    if (*font != nullptr) DeleteObject(static_cast<HFONT>(*font));
    *font = nullptr;
  }
}

void Win32LauncherView::set_text(Control which, std::string_view text) {
  const std::vector<char16_t> wide = to_wide_null(text);
  SetWindowTextW(static_cast<HWND>(control(which)), units(wide));
}

void Win32LauncherView::set_visible(Control which, bool visible) {
  ShowWindow(static_cast<HWND>(control(which)), visible ? SW_SHOW : SW_HIDE);
}

void Win32LauncherView::set_enabled(Control which, bool enabled) {
  EnableWindow(static_cast<HWND>(control(which)), enabled ? TRUE : FALSE);
}

void Win32LauncherView::focus(Control which) { SetFocus(static_cast<HWND>(control(which))); }

void Win32LauncherView::progress_marquee() {
  const auto bar = static_cast<HWND>(control(Control::Progress));
  const LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
  SetWindowLongPtrW(bar, GWL_STYLE, style | PBS_MARQUEE);
  SendMessageW(bar, PBM_SETMARQUEE, 1, kMarqueeStepMs);
}

void Win32LauncherView::progress_position(std::uint32_t percent) {
  const auto bar = static_cast<HWND>(control(Control::Progress));
  const LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
  SendMessageW(bar, PBM_SETMARQUEE, 0, 0);
  SetWindowLongPtrW(bar, GWL_STYLE, style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
  SendMessageW(bar, PBM_SETPOS, percent, 0);
}

void Win32LauncherView::destroy_window() { DestroyWindow(static_cast<HWND>(window_)); }

void Win32LauncherView::open_file(const std::filesystem::path& path) {
  platform::open_with_default_program(path, window_);
}

void run_message_loop(void* window) {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(static_cast<HWND>(window), &message) == FALSE) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

}  // namespace orvo::ui
