// Release contents for the benchmarks: files of three kinds (incompressible
// bytes, text, and binary with long zero runs) and sizes that mix small and
// large, the same on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvo::test {

// The content of file number index, of size bytes; index % 3 picks the kind.
std::string mixed_content(std::size_t index, std::size_t size);

// The sizes of count files that add up to total: weights 1 to 8 mixed by
// index, the last file taking what rounding left.
std::vector<std::size_t> mixed_sizes(std::size_t count, std::uint64_t total);

}  // namespace orvo::test
