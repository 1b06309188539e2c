// A stand-in for ORVO Host under Win32, the twin of the X11 one: a GUI-subsystem
// program (WaitForInputIdle fails for a console one) that holds the mutex
// "Local\ORVO.Host.SupportSession" while it runs. It reads "host-behaviour.txt"
// from its working folder (behaviour.hpp):
//   delay_ms N        wait N ms before anything else (0)
//   exit_code N       then exit with N instead of showing a window
//   title TEXT        window title, the rest of the line ("ORVO Host")
//   class TEXT        window class name ("WindowsForms10.Window.8.app.0.test")
//   hidden            create the window but never show it
//   iconic            show it minimised
//   hang              never answer a message sent to the window (WM_NULL) once it is up
//   exit_after_ms N   exit with code 0 N ms after the window is shown
//   second_class TEXT then show a second window, above the first, of class TEXT
//   ready_file PATH   once the window exists, write the process id there
// "legacy_title" and "framed" describe X11 properties and change nothing here.
#include <filesystem>
#include <fstream>
#include <string>

#include "behaviour.hpp"
#include "platform/win32.hpp"

namespace {

using orvo::test_host::Behaviour;
using orvo::test_host::read_behaviour;

std::wstring wide(const std::string& text) {
  std::wstring result(text.size(), L'\0');
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           result.data(), static_cast<int>(result.size()));
  result.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return result;
}

bool g_hang = false;

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER) ::ExitProcess(0);
  // The launcher's liveness probe. Hanging inside its handler, rather than
  // leaving the message loop after one last drain, leaves no moment in which
  // a probe that arrives during the drain would still be answered.
  if (message == WM_NULL && g_hang) {
    for (;;) ::Sleep(INFINITE);
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

HWND show_window(const std::string& class_name, const Behaviour& behaviour) {
  const std::wstring wide_class = wide(class_name);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = wide_class.c_str();
  ::RegisterClassExW(&window_class);
  HWND window = ::CreateWindowExW(0, wide_class.c_str(), wide(behaviour.title).c_str(),
                                  WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) ::ExitProcess(71);
  if (!behaviour.hidden) ::ShowWindow(window, behaviour.iconic ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
  return window;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const Behaviour behaviour = read_behaviour();
  // Held until the process ends, as the real host holds it.
  ::CreateMutexW(nullptr, FALSE, L"Local\\ORVO.Host.SupportSession");
  ::Sleep(static_cast<DWORD>(behaviour.delay_ms));
  if (behaviour.exit_code) ::ExitProcess(static_cast<UINT>(*behaviour.exit_code));

  HWND window = show_window(behaviour.window_class, behaviour);
  if (behaviour.second_class) show_window(*behaviour.second_class, behaviour);
  if (!behaviour.ready_file.empty()) {
    // Written under another name and renamed, so that a reader never sees it half done.
    const std::filesystem::path ready(wide(behaviour.ready_file));
    std::filesystem::path part = ready;
    part += L".part";
    std::ofstream(part) << ::GetCurrentProcessId();
    ::MoveFileExW(part.c_str(), ready.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  if (behaviour.exit_after_ms) ::SetTimer(window, 1, static_cast<UINT>(*behaviour.exit_after_ms), nullptr);

  g_hang = behaviour.hang;
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
