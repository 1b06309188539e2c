// Time to parse and serialise each 1 MiB hostile URL input.
#include <chrono>
#include <cstdio>

#include "core/url/url.hpp"
#include "support/suite/long_urls.hpp"

int main() {
  for (const orvo::test::LongUrl& input : orvo::test::long_urls()) {
    constexpr int kRounds = 5;
    const auto start = std::chrono::steady_clock::now();
    bool parsed = false;
    for (int round = 0; round < kRounds; ++round) {
      const orvo::core::Result<orvo::core::Url> url = orvo::core::parse_url(input.text);
      parsed = url.has_value() && !url->href().empty();
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%-24s %8zu bytes  %-7s %8.2f ms per parse\n", input.label.c_str(), input.text.size(),
                parsed ? "URL" : "failure", elapsed.count() / kRounds);
  }
  return 0;
}
