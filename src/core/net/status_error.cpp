#include "core/net/status_error.hpp"

#include <cstdio>
#include <optional>

#include "core/text/utf8_repair.hpp"

namespace orvo::core {

namespace {

constexpr std::string_view kCutMark = "\u2026";

// The length of the UTF-8 sequence that this lead byte of valid text begins.
std::size_t sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

// C0 controls, DEL and the C1 controls (U+0080 to U+009F, "\xC2\x80" to "\xC2\x9F").
std::optional<unsigned> control_code(std::string_view character) {
  const auto first = static_cast<unsigned char>(character[0]);
  if (first < 0x20 || first == 0x7F) return first;
  const bool c1 = first == 0xC2 && static_cast<unsigned char>(character[1]) <= 0x9F;
  if (c1) return static_cast<unsigned char>(character[1]);
  return std::nullopt;
}

}  // namespace

std::string_view reason_phrase(std::string_view status_line) {
  const std::size_t code = status_line.find(' ');
  if (code == std::string_view::npos) return {};
  const std::size_t reason = status_line.find(' ', code + 1);
  if (reason == std::string_view::npos) return {};
  return status_line.substr(reason + 1);
}

std::string shown_reason(std::string_view reason) {
  // The server's own bytes; the texts of the system are UTF-8 throughout.
  const std::string text = repair_utf8(reason);
  std::string shown;
  std::size_t room_for_mark = 0;  // how much of shown still leaves room for the cut mark
  for (std::size_t i = 0; i < text.size();) {
    const std::string_view character(text.data() + i,
                                     sequence_length(static_cast<unsigned char>(text[i])));
    i += character.size();
    std::string piece(character);
    if (std::optional<unsigned> code = control_code(character)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", *code);
      piece = escaped;
    }
    if (shown.size() + piece.size() > kShownReasonLimit) {
      shown.resize(room_for_mark);
      shown += kCutMark;
      return shown;
    }
    shown += piece;
    if (shown.size() + kCutMark.size() <= kShownReasonLimit) room_for_mark = shown.size();
  }
  return shown;
}

std::string status_error_text(long status, std::string_view reason, const Url& url) {
  std::string text = status < 500 ? "HTTP status client error (" : "HTTP status server error (";
  text += std::to_string(status);
  if (!reason.empty()) {
    text += ' ';
    text += shown_reason(reason);
  }
  text += ") for url (";
  text += url.href();
  text += ')';
  return text;
}

}  // namespace orvo::core
