// The checks before any window is made: one launcher per user session, and
// none while ORVO Host is open.
#pragma once

#include <optional>

#include "platform/session_mutex.hpp"

namespace orvo::ui {

// The single-instance name, held, when this launcher may go on. Nothing when
// it must end; what the refusal shows has then been shown and dismissed: the
// error box when the name cannot be made, the other launcher's window raised
// when one runs, the information box while ORVO Host is open.
std::optional<platform::SessionMutex> pass_start_checks();

}  // namespace orvo::ui
