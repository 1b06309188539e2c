// Recognising the host's main window among the top-level windows: a visible
// window of the host's process titled exactly "ORVO Host" whose class name
// begins with "WindowsForms10.".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/host/host_window.hpp"

namespace orvo::launch {

inline constexpr std::string_view kHostWindowTitle = "ORVO Host";
inline constexpr std::string_view kHostWindowClassPrefix = "WindowsForms10.";
inline constexpr std::size_t kWindowTitleUnits = 128;
inline constexpr std::size_t kWindowClassUnits = 256;

// Lent to the enumeration for one poll.
struct HostWindowSearch {
  platform::WindowHandle window = platform::kNoWindow;  // the first matching window
  std::uint32_t process_id = 0;                         // the started host's
};

// The enumeration's visitor; param holds the address of a HostWindowSearch.
// Stores the first matching window and stops there (false); true goes on.
bool match_host_window(platform::WindowHandle window, std::intptr_t param);

}  // namespace orvo::launch
