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

// The characters shown as "\uXXXX": the C0 controls, DEL and the C1 controls
// (U+0080 to U+009F), which could start a new line or a terminal sequence;
// the bidirectional embeddings, overrides and isolates (U+202A to U+202E,
// U+2066 to U+2069), which could reverse the rest of the line; and the
// backslash, so that a phrase cannot spell an escape of its own.
std::optional<unsigned> escaped_code(std::string_view character) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(character[i]); };
  if (character.size() == 1) {
    if (byte(0) < 0x20 || byte(0) == 0x7F || byte(0) == '\\') return byte(0);
    return std::nullopt;
  }
  if (character.size() == 2) {
    if (byte(0) == 0xC2 && byte(1) <= 0x9F) return byte(1);
    return std::nullopt;
  }
  if (character.size() != 3 || byte(0) != 0xE2) return std::nullopt;
  const unsigned code = 0x2000 | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
  const bool bidirectional = (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
  if (bidirectional) return code;
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
    if (std::optional<unsigned> code = escaped_code(character)) {
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
