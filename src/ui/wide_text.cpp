#include "ui/wide_text.hpp"

#include <string>

#include "core/text/utf8_repair.hpp"

namespace orvo::ui {
namespace {

// The number of bytes a sequence takes, told by its lead byte of valid UTF-8.
std::size_t sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

}  // namespace

std::vector<char16_t> to_wide_null(std::string_view text) {
  const std::string valid = core::repair_utf8(text);
  std::vector<char16_t> units;
  units.reserve(valid.size() + 1);
  std::size_t i = 0;
  while (i < valid.size()) {
    const auto lead = static_cast<unsigned char>(valid[i]);
    const std::size_t length = sequence_length(lead);
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      c = (c << 6) | (static_cast<unsigned char>(valid[i + k]) & 0x3F);
    }
    i += length;
    if (c < 0x10000) {
      units.push_back(static_cast<char16_t>(c));
    } else {
      units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  units.push_back(0);
  return units;
}

}  // namespace orvo::ui
