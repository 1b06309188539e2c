#include "launch/host_window_search.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <string>

#include "launch/utf16_text.hpp"

namespace orvo::launch {

bool match_host_window(platform::WindowHandle window, std::intptr_t param) {
  auto& search = *reinterpret_cast<HostWindowSearch*>(param);
  if (platform::window_process_id(window) != search.process_id) return true;
  if (!platform::window_visible(window)) return true;

  std::array<char16_t, kWindowTitleUnits> title{};
  std::array<char16_t, kWindowClassUnits> class_name{};
  const std::size_t title_length = platform::window_title(window, title);
  const std::size_t class_length = platform::window_class_name(window, class_name);

  if (utf16_text(std::span(title).first(std::min(title_length, title.size()))) != kHostWindowTitle)
    return true;
  if (!utf16_text(std::span(class_name).first(std::min(class_length, class_name.size())))
           .starts_with(kHostWindowClassPrefix)) {
    return true;
  }
  search.window = window;
  return false;
}

}  // namespace orvo::launch
