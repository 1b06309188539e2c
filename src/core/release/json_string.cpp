#include "core/release/json_string.hpp"

namespace orvo::core {

void append_json_string(std::string& out, std::string_view text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += '"';
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kDigits[byte >> 4];
          out += kDigits[byte & 0x0F];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

}  // namespace orvo::core
