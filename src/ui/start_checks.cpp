#include "ui/start_checks.hpp"

#include <utility>

#include "platform/desktop/message_box.hpp"
#include "platform/desktop/window_activation.hpp"
#include "ui/launcher_texts.hpp"

namespace orvo::ui {

std::optional<platform::SessionMutex> pass_start_checks() {
  auto instance = platform::create_session_mutex(kLauncherMutexName);
  if (!instance) {
    platform::show_message_box(kCaption, kCouldNotStartText, platform::MessageIcon::Error);
    return std::nullopt;
  }
  if (instance->already_existed) {
    // Before the other launcher has made its window, or while it shows a box,
    // there is nothing to raise, and this one ends silently all the same.
    platform::restore_and_raise_window(kWindowClass);
    return std::nullopt;
  }
  if (platform::session_mutex_exists(kHostMutexName)) {
    // The single-instance name stays taken while the box is up.
    platform::show_message_box(kCaption, kHostOpenText, platform::MessageIcon::Information);
    return std::nullopt;
  }
  return std::move(instance->mutex);
}

}  // namespace orvo::ui
