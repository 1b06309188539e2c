#include "core/url/percent_encode.hpp"

namespace orvo::core {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool in_encode_set(unsigned char byte, EncodeSet set) {
  if (byte < 0x20 || byte > 0x7E) return true;
  const char c = static_cast<char>(byte);
  switch (set) {
    case EncodeSet::C0Control:
      return false;
    case EncodeSet::Fragment:
      return c == ' ' || c == '"' || c == '<' || c == '>' || c == '`';
    case EncodeSet::Query:
      return c == ' ' || c == '"' || c == '#' || c == '<' || c == '>';
    case EncodeSet::SpecialQuery:
      return c == '\'' || in_encode_set(byte, EncodeSet::Query);
    case EncodeSet::Path:
      return c == '?' || c == '^' || c == '`' || c == '{' || c == '}' ||
             in_encode_set(byte, EncodeSet::Query);
    case EncodeSet::Userinfo:
      return c == '/' || c == ':' || c == ';' || c == '=' || c == '@' || c == '[' || c == '\\' ||
             c == ']' || c == '|' || in_encode_set(byte, EncodeSet::Path);
  }
  return true;
}

void percent_encode_append(std::string& out, std::string_view text, EncodeSet set) {
  constexpr std::string_view kHex = "0123456789ABCDEF";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (in_encode_set(byte, set)) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
}

std::string percent_decode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
        hex_value(text[i + 2]) >= 0) {
      out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace orvo::core
