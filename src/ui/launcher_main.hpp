// The launcher's start-up and run: the single-instance and host-session
// checks, the progress window with its first attempt, the message loop, and
// the clean-up. Every path ends with exit code 0.
#pragma once

#include "attempt/preparation_settings.hpp"

namespace orvo::ui {

// The settings go with every attempt; the program passes the built-in ones.
int run_launcher(core::PreparationSettings settings);

}  // namespace orvo::ui
