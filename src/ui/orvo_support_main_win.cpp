// The launcher program as Windows starts a GUI program. It reads no
// arguments; every path ends with exit code 0.
#include "platform/win32.hpp"

#include "attempt/preparation_settings.hpp"
#include "ui/launcher_main.hpp"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return orvo::ui::run_launcher(orvo::core::builtin_preparation_settings());
}
