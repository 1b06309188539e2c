// The launcher window's behaviour once it exists: starting attempts, the poll
// tick that applies what they send, Cancel, Retry, View details and Close.
// Everything here runs on the window thread; the window is changed only
// through the record's WindowOperations.
#pragma once

#include <cstdint>

#include "core/context/worker_message.hpp"
#include "ui/launcher_window.hpp"

namespace orvo::ui {

// Determinate shows the percent, at most 100; every other mode animates.
void set_progress_mode(WindowOperations& window, core::ProgressMode mode, std::uint32_t percent);

// Resets the controls for a running attempt and starts its thread with a
// fresh flag. An attempt whose thread cannot be made fails as an attempt
// does: its error is logged and arrives as Failed on the next tick.
void start_attempt(LauncherWindow& record);

// Cancel while an attempt runs, Close otherwise.
void cancel_or_close(LauncherWindow& record);

// Applies every waiting message in order; returns after the one that destroys the window.
void poll_tick(LauncherWindow& record);

// Retry, Cancel/Close and View details by control ID; other IDs do nothing.
void handle_command(LauncherWindow& record, int control_id);

// The window's close request (its title bar): Cancel or Close with a record,
// without one (before start-up attached it) the window is destroyed.
void handle_close_request(LauncherWindow* record, WindowOperations& window);

}  // namespace orvo::ui
