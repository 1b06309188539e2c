#include "platform/host/host_window.hpp"

#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

struct Visit {
  WindowVisitor visit;
  std::intptr_t param;
};

BOOL CALLBACK visit_window(HWND window, LPARAM param) {
  const Visit& visit = *reinterpret_cast<const Visit*>(param);
  return visit.visit(window, visit.param) ? TRUE : FALSE;
}

// GetWindowTextW and GetClassNameW: as much text as fits with its zero, and
// the count of units before that zero. char16_t and wchar_t are both UTF-16
// units on Windows.
std::size_t window_text(int(WINAPI* read)(HWND, LPWSTR, int), WindowHandle window,
                        std::span<char16_t> buffer) {
  if (buffer.empty()) return 0;
  buffer[0] = u'\0';
  const int units = buffer.size() > INT_MAX ? INT_MAX : static_cast<int>(buffer.size());
  const int length =
      read(static_cast<HWND>(window), reinterpret_cast<wchar_t*>(buffer.data()), units);
  return length > 0 ? static_cast<std::size_t>(length) : 0;
}

DWORD milliseconds(std::chrono::milliseconds timeout) {
  if (timeout.count() <= 0) return 0;
  // INFINITE is a value of its own; a long wait stays one short of it.
  if (timeout.count() >= INFINITE) return INFINITE - 1;
  return static_cast<DWORD>(timeout.count());
}

}  // namespace

WindowSystem::WindowSystem() = default;
WindowSystem::~WindowSystem() = default;

void WindowSystem::enumerate_windows(WindowVisitor visit, std::intptr_t param) const {
  Visit state{visit, param};
  // EnumWindows reports the top-level windows in Z order, top first.
  ::EnumWindows(visit_window, reinterpret_cast<LPARAM>(&state));
}

bool WindowSystem::wait_input_idle(const Process& process,
                                   std::chrono::milliseconds timeout) const {
  return ::WaitForInputIdle(process.handles().process.get(), milliseconds(timeout)) == 0;
}

bool WindowSystem::answers(WindowHandle window, std::chrono::milliseconds timeout) const {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(static_cast<HWND>(window), WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                               static_cast<UINT>(milliseconds(timeout)), &result) != 0;
}

std::uint32_t window_process_id(WindowHandle window) {
  DWORD id = 0;
  if (::GetWindowThreadProcessId(static_cast<HWND>(window), &id) == 0) return 0;
  return id;
}

bool window_visible(WindowHandle window) { return ::IsWindowVisible(static_cast<HWND>(window)) != 0; }

std::size_t window_title(WindowHandle window, std::span<char16_t> buffer) {
  return window_text(::GetWindowTextW, window, buffer);
}

std::size_t window_class_name(WindowHandle window, std::span<char16_t> buffer) {
  return window_text(::GetClassNameW, window, buffer);
}

}  // namespace orvo::platform
