// The controls' names as the window tests write them: "title", "status",
// "progress", "note", "retry", "cancel", "details".
#pragma once

#include <string>

#include "ui/window_layout.hpp"

namespace orvo::test {

inline std::string control_name(ui::Control control) {
  switch (control) {
    case ui::Control::Title: return "title";
    case ui::Control::Status: return "status";
    case ui::Control::Progress: return "progress";
    case ui::Control::Note: return "note";
    case ui::Control::Retry: return "retry";
    case ui::Control::Cancel: return "cancel";
    case ui::Control::Details: return "details";
  }
  return "?";
}

}  // namespace orvo::test
