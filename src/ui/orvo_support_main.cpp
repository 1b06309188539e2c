// The launcher program. It reads no arguments; every path ends with exit code 0.
#include "attempt/preparation_settings.hpp"
#include "ui/launcher_main.hpp"

int main() { return orvo::ui::run_launcher(orvo::core::builtin_preparation_settings()); }
