#include "core/text/ascii_case.hpp"

namespace orvo::core {

std::string ascii_lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = ascii_lower(c);
  return lower;
}

std::string ascii_upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = ascii_upper(c);
  return upper;
}

}  // namespace orvo::core
