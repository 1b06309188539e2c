#include "support/suite/case_name.hpp"

#include <cctype>

namespace orvo::test {

std::string case_name(std::string_view description) {
  std::string name;
  for (const char c : description) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) name += c;
  }
  return name;
}

}  // namespace orvo::test
