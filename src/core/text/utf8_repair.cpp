#include "core/text/utf8_repair.hpp"

namespace orvo::core {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The number of continuation bytes after a lead byte and the range the
// first of them must fall in; zero continuations marks a byte that cannot lead.
struct Lead {
  int continuations;
  unsigned char lower;
  unsigned char upper;
};

Lead lead_of(unsigned char byte) {
  if (byte >= 0xC2 && byte <= 0xDF) return {1, 0x80, 0xBF};
  if (byte == 0xE0) return {2, 0xA0, 0xBF};
  if (byte == 0xED) return {2, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {2, 0x80, 0xBF};
  if (byte == 0xF0) return {3, 0x90, 0xBF};
  if (byte == 0xF4) return {3, 0x80, 0x8F};
  if (byte >= 0xF1 && byte <= 0xF3) return {3, 0x80, 0xBF};
  return {0, 0, 0};
}

}  // namespace

std::string repair_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      out += bytes[i++];
      continue;
    }
    const Lead lead = lead_of(byte);
    if (lead.continuations == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    // Consume the longest valid prefix; a sequence cut short becomes one
    // replacement and the byte that broke it is looked at afresh.
    std::size_t end = i + 1;
    unsigned char lower = lead.lower;
    unsigned char upper = lead.upper;
    int needed = lead.continuations;
    while (needed > 0 && end < bytes.size()) {
      const auto next = static_cast<unsigned char>(bytes[end]);
      if (next < lower || next > upper) break;
      lower = 0x80;
      upper = 0xBF;
      ++end;
      --needed;
    }
    if (needed == 0) {
      out.append(bytes.substr(i, end - i));
    } else {
      out += kReplacement;
    }
    i = end;
  }
  return out;
}

}  // namespace orvo::core
