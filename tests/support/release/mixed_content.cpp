#include "support/release/mixed_content.hpp"

#include <algorithm>

namespace orvo::test {

namespace {

std::uint32_t next(std::uint32_t& state) {
  state = state * 1664525 + 1013904223;
  return state;
}

}  // namespace

std::string mixed_content(std::size_t index, std::size_t size) {
  std::string data(size, '\0');
  std::uint32_t state = static_cast<std::uint32_t>(index) * 2654435761u + 1;
  switch (index % 3) {
    case 0:
      for (char& c : data) c = static_cast<char>(next(state) >> 24);
      break;
    case 1: {
      static constexpr const char* kWords[] = {"launcher ", "release ", "host ",   "version ",
                                               "manifest ", "signed ",  "folder ", "cache\n"};
      std::size_t at = 0;
      while (at < size) {
        std::string word = kWords[next(state) >> 29];
        if ((next(state) >> 28) == 0) word = std::to_string(next(state) % 100000) + ' ';
        const std::size_t n = std::min(word.size(), size - at);
        data.replace(at, n, word, 0, n);
        at += n;
      }
      break;
    }
    default:
      for (std::size_t at = 0; at < size; at += 4096) {
        if ((next(state) >> 30) == 0) continue;  // a zero page
        for (std::size_t i = at; i < std::min(size, at + 4096); ++i) {
          data[i] = static_cast<char>(next(state) >> 24);
        }
      }
  }
  return data;
}

std::vector<std::size_t> mixed_sizes(std::size_t count, std::uint64_t total) {
  std::vector<std::size_t> weights(count);
  std::size_t weight_sum = 0;
  for (std::size_t i = 0; i < count; ++i) weight_sum += weights[i] = 1 + (i * 5) % 8;
  std::vector<std::size_t> sizes(count);
  std::uint64_t assigned = 0;
  for (std::size_t i = 0; i < count; ++i) {
    sizes[i] = i + 1 == count ? static_cast<std::size_t>(total - assigned)
                              : static_cast<std::size_t>(total * weights[i] / weight_sum);
    assigned += sizes[i];
  }
  return sizes;
}

}  // namespace orvo::test
