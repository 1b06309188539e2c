#include "support/fuzz_checks.hpp"

#include <cstdio>
#include <cstdlib>

namespace orvo::fuzz {

void property_failed(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "property failed: %.*s\n%.*s\n", static_cast<int>(what.size()), what.data(),
               static_cast<int>(detail.size()), detail.data());
  std::abort();
}

}  // namespace orvo::fuzz
