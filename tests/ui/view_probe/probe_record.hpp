// The record a window probe attaches to its view: the real attempt control
// with an attempt body that only keeps its values, so that the window stays
// in the state the probe puts it in.
#pragma once

#include <utility>

#include "ui/launcher_window.hpp"

namespace orvo::test {

inline ui::LauncherWindow probe_record(ui::WindowOperations& view) {
  auto [sender, receiver] = core::make_channel<core::WorkerMessage>();
  return ui::LauncherWindow{.receiver = std::move(receiver),
                            .sender = std::move(sender),
                            .log_path = "nonexistent/launcher.log",
                            .cancel = core::CancelFlag{},
                            .window = &view,
                            .attempt = [](ui::AttemptValues) {},
                            .busy = false};
}

}  // namespace orvo::test
