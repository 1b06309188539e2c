#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/path_text.hpp"

namespace orvo::platform {
namespace {

// The length of the well-formed UTF-8 sequence at the start of text, or 0.
std::size_t sequence_length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::optional<std::string> path_utf8(const std::filesystem::path& path) {
  const std::string& native = path.native();
  for (std::string_view rest = native; !rest.empty();) {
    const std::size_t length = sequence_length(rest);
    if (length == 0) return std::nullopt;
    rest.remove_prefix(length);
  }
  return native;
}

std::string path_display(const std::filesystem::path& path) {
  std::string shown;
  for (std::string_view rest = path.native(); !rest.empty();) {
    const std::size_t length = sequence_length(rest);
    if (length == 0) {
      shown += "\xEF\xBF\xBD";
      rest.remove_prefix(1);
    } else {
      shown += rest.substr(0, length);
      rest.remove_prefix(length);
    }
  }
  return shown;
}

std::filesystem::path path_from_utf8(std::string_view text) {
  return std::filesystem::path(std::string(text));
}

}  // namespace orvo::platform
