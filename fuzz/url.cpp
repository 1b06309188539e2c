// Any bytes as a URL, alone and against a few bases of different kinds. A URL
// that parses must serialise to a text that parses again to the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/url/url.hpp"
#include "support/fuzz_checks.hpp"

namespace {

const std::vector<orvo::core::Url>& bases() {
  static const std::vector<orvo::core::Url> parsed = [] {
    std::vector<orvo::core::Url> urls;
    for (std::string_view text :
         {"https://user:pw@example.com:8443/a/b/c?q=1#f", "file:///C:/dir/file.txt",
          "http://[::1]/x/", "sc://host/path/leaf", "mailto:someone@example.com"}) {
      auto url = orvo::core::parse_url(text);
      if (!url) __builtin_trap();
      urls.push_back(std::move(*url));
    }
    return urls;
  }();
  return parsed;
}

void check_round_trip(std::string_view input, const orvo::core::Url& url) {
  const std::string href = url.href();
  auto again = orvo::core::parse_url(href);
  if (!again) {
    orvo::fuzz::property_failed("a serialised URL does not parse again",
                                std::string(input) + " -> " + href);
  }
  if (again->href() != href) {
    orvo::fuzz::property_failed("a serialised URL parses to another URL",
                                std::string(input) + " -> " + href + " -> " + again->href());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (auto url = orvo::core::parse_url(input)) check_round_trip(input, *url);
  for (const auto& base : bases()) {
    if (auto url = orvo::core::parse_url(input, &base)) check_round_trip(input, *url);
  }
  return 0;
}
