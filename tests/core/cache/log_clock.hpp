// The clock the log tests write with, on both systems.
#pragma once

#include <cstdint>

namespace orvo::core {

// 2026-12-10 00:00:00 UTC counted from 1601 in 100-ns steps, plus 0.9 s that must be dropped.
inline std::uint64_t fixed_clock() {
  return 116'444'736'000'000'000ull + 1'796'860'800ull * 10'000'000ull + 9'000'000ull;
}

}  // namespace orvo::core
