// A step's outcome as the cache tests compare it: "ok" or the error's chain.
#pragma once

#include <string>

#include "base/error.hpp"

namespace orvo::core {

inline std::string outcome_of(const Result<void>& result) {
  return result ? "ok" : result.error().chain_text();
}

}  // namespace orvo::core
