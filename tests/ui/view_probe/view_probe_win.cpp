// Shows the launcher's Win32 window as start-up builds it for the screen's
// DPI and writes what Windows made of it, one line per fact:
//   dpi N
//   window CLASS STYLE EXSTYLE              (the main window; styles in hex)
//   client W H
//   frame X Y W H                           (the main window on the screen)
//   screen W H
//   control NAME X Y W H VISIBLE ENABLED   (the rectangle in client coordinates)
//   kind NAME CLASS ID STYLE
//   font NAME HEIGHT WEIGHT FACE            (the LOGFONTW of the control's font)
//   progress MARQUEE|POSITION N             (the bar's style and position)
//   focus NAME|none
//   tab NAME...                             (the focus after each of four Tab keys)
// It takes no arguments, as programs started by the tests' process starter do:
// the first line of "view-probe.txt" in its working folder names the view,
// "running" or "failure", and optionally, after a blank, where to save a
// picture of the window (PNG); the report goes to "view-probe-report.txt"
// beside it.
// The attempt control and the window procedure are the real ones; the attempt
// body only keeps its values, so the window stays in the state asked for.
#include "platform/win32.hpp"

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/desktop/screen_dpi.hpp"
#include "platform/wide_text_win.hpp"
#include "support/host/window_picture.hpp"
#include "ui/attempt_control.hpp"
#include "ui/control_names.hpp"
#include "ui/launcher_view_win.hpp"
#include "ui/view_probe/probe_record.hpp"

namespace {

using namespace orvo;

// Runs the window's messages for a while, so that it is shown and painted.
void settle(HWND dialog, std::chrono::milliseconds how_long) {
  const auto end = std::chrono::steady_clock::now() + how_long;
  while (std::chrono::steady_clock::now() < end) {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      if (IsDialogMessageW(dialog, &message) == FALSE) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    Sleep(10);
  }
}

std::string class_name(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return platform::utf8_text(name);
}

std::string hex(LONG_PTR value) {
  char text[32];
  std::snprintf(text, sizeof(text), "0x%lx", static_cast<unsigned long>(value & 0xFFFFFFFF));
  return text;
}

std::string focused(const ui::Win32LauncherView& view) {
  const HWND focus = GetFocus();
  for (const ui::ControlLayout& item : ui::kControls) {
    if (view.control(item.control) == focus) return test::control_name(item.control);
  }
  return "none";
}

void report(const ui::Win32LauncherView& view, int dpi, std::ostream& out) {
  const auto main = static_cast<HWND>(view.window());
  out << "dpi " << dpi << "\n";
  out << "window " << class_name(main) << " " << hex(GetWindowLongPtrW(main, GWL_STYLE)) << " "
      << hex(GetWindowLongPtrW(main, GWL_EXSTYLE)) << "\n";
  RECT client{};
  GetClientRect(main, &client);
  out << "client " << client.right - client.left << " " << client.bottom - client.top << "\n";
  RECT frame{};
  GetWindowRect(main, &frame);
  out << "frame " << frame.left << " " << frame.top << " " << frame.right - frame.left << " "
      << frame.bottom - frame.top << "\n";
  out << "screen " << GetSystemMetrics(SM_CXSCREEN) << " " << GetSystemMetrics(SM_CYSCREEN) << "\n";
  for (const ui::ControlLayout& item : ui::kControls) {
    const auto control = static_cast<HWND>(view.control(item.control));
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    out << "control " << test::control_name(item.control) << " " << rect.left << " " << rect.top
        << " " << rect.right - rect.left << " " << rect.bottom - rect.top << " "
        << ((style & WS_VISIBLE) != 0 ? "shown" : "hidden") << " "
        << (IsWindowEnabled(control) != FALSE ? "enabled" : "disabled") << "\n";
    out << "kind " << test::control_name(item.control) << " " << class_name(control) << " "
        << GetDlgCtrlID(control) << " " << hex(style) << "\n";
  }
  for (const ui::ControlLayout& item : ui::kControls) {
    const auto control = static_cast<HWND>(view.control(item.control));
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW description{};
    GetObjectW(font, sizeof(description), &description);
    out << "font " << test::control_name(item.control) << " " << description.lfHeight << " "
        << description.lfWeight << " " << platform::utf8_text(description.lfFaceName) << "\n";
  }
  const auto bar = static_cast<HWND>(view.control(ui::Control::Progress));
  const bool marquee = (GetWindowLongPtrW(bar, GWL_STYLE) & PBS_MARQUEE) != 0;
  out << "progress " << (marquee ? "MARQUEE " : "POSITION ") << SendMessageW(bar, PBM_GETPOS, 0, 0)
      << "\n";
  out << "focus " << focused(view) << "\n";
}

std::string tab_walk(const ui::Win32LauncherView& view) {
  const auto main = static_cast<HWND>(view.window());
  std::string tabs = "tab";
  for (int i = 0; i < 4; ++i) {
    const HWND target = GetFocus() != nullptr ? GetFocus() : main;
    PostMessageW(target, WM_KEYDOWN, VK_TAB, 0);
    PostMessageW(target, WM_KEYUP, VK_TAB, 0);
    settle(main, std::chrono::milliseconds(100));
    tabs += " " + focused(view);
  }
  return tabs;
}

}  // namespace

int main() {
  std::ifstream request("view-probe.txt");
  std::string view_name;
  std::string picture_path;
  request >> view_name;
  std::getline(request >> std::ws, picture_path);
  if (view_name != "running" && view_name != "failure") {
    std::fprintf(stderr, "view-probe.txt names no view\n");
    return 2;
  }
  ui::register_launcher_class();
  const int dpi = platform::screen_dpi();
  const ui::WindowLayout layout = ui::layout_for_dpi(dpi);
  ui::Win32LauncherView view(layout);
  if (view.window() == nullptr) {
    std::fprintf(stderr, "no window\n");
    return 3;
  }
  ui::LauncherWindow record = test::probe_record(view);
  view.attach(&record);
  ui::start_attempt(record);
  view.show();
  const auto main_window = static_cast<HWND>(view.window());
  if (view_name == "failure") {
    record.sender.send(core::Failed{.text = "probe"});
    // The tick as the timer delivers it, through the window procedure.
    SendMessageW(main_window, WM_TIMER, ui::kPollTimerId, 0);
  }
  settle(main_window, std::chrono::milliseconds(700));

  std::ostringstream out;
  report(view, layout.dpi, out);
  if (!picture_path.empty() && !test::save_png(test::picture_of_window(main_window), picture_path)) {
    std::fprintf(stderr, "cannot save %s\n", picture_path.c_str());
    return 4;
  }
  out << tab_walk(view) << "\n";
  std::ofstream file("view-probe-report.txt", std::ios::trunc);
  file << out.str();
  return file.flush() ? 0 : 5;
}
