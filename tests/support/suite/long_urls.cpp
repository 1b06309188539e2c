#include "support/suite/long_urls.hpp"

#include <cstddef>
#include <random>

namespace orvo::test {

std::vector<LongUrl> long_urls() {
  constexpr std::size_t kSize = 1 << 20;
  std::mt19937 random(7);
  std::string noise(kSize, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  std::string dot_segments;
  for (std::size_t i = 0; i < kSize / 3; ++i) dot_segments += "/..";
  return {
      {"random bytes in the path", "https://example.com/" + noise},
      {"plain path", "https://example.com/" + std::string(kSize, 'p')},
      {"empty segments", "https://example.com/" + std::string(kSize, '/')},
      {"dot segments", "https://example.com" + dot_segments},
      {"long domain", "https://" + std::string(kSize, 'a') + "/"},
      {"at signs", "https://" + std::string(kSize, '@') + "x/"},
      {"long number host", "https://" + std::string(kSize, '1') + "/"},
      {"number and dots host", "https://" + std::string(kSize / 2, '1') + std::string(kSize / 2, '.')},
      {"colons in brackets", "https://[" + std::string(kSize, ':') + "]/"},
      {"ill-formed UTF-8 host", "https://" + std::string(kSize, '\xC3') + "/"},
      {"non-ASCII host", "https://" + [] {
         std::string text;
         for (std::size_t i = 0; i < kSize / 2; ++i) text += "\xC3\xA9";
         return text;
       }() + "/"},
      {"port zeros", "https://x:" + std::string(kSize, '0') + "1/"},
      {"opaque spaces", "sc:" + std::string(kSize, ' ') + "#"},
      {"surrounding whitespace", std::string(kSize, ' ') + "https://x/" + std::string(kSize, '\t')},
      {"no scheme", std::string(kSize, 'a')},
  };
}

}  // namespace orvo::test
