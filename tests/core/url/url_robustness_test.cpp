// Hostile input: random byte strings biased towards the characters that steer
// the parser, and long inputs, must each end as a URL or a failure. Whatever
// parses must serialise to printable ASCII and read back as the same URL.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/url/url.hpp"
#include "support/suite/long_urls.hpp"

namespace orvo::core {
namespace {

constexpr std::string_view kPrefixes[] = {
    "", "https://", "http://", "file:", "file://", "sc:", "sc://", "ftp://u:p@", "http://[",
    "https://0x7f.", "//", "/", "?", "#", "\\\\", "C:", "mailto:"};

// Pieces that reach the parser's branches: separators, dot segments,
// drive letters, address forms, percent escapes, controls and UTF-8.
constexpr std::string_view kPieces[] = {
    ":", "/", "\\", "?", "#", "@", "[", "]", ".", "..", "%2e", "%", "%41", "%zz", "0x",
    "0", "9", "255", "4294967296", "::", "ffff", "C|", "a", "Z", "-", " ", "\t", "\n",
    std::string_view("\0", 1), "\x7f", "\xC3\xA9", "\xE2\x98\x83", "\xF0\x9F\x92\xA9", "\xFF",
    "\xC3", "\xED\xA0\x80", "\xEF\xBC\x8E", "xn--", "localhost", "127.1", "1.2.3.4"};

void expect_sound(const Result<Url>& url, std::string_view input) {
  if (!url) {
    EXPECT_FALSE(url.error().message().empty());
    return;
  }
  const std::string href = url->href();
  for (char c : href) {
    const auto byte = static_cast<unsigned char>(c);
    ASSERT_TRUE(byte >= 0x20 && byte < 0x7F) << "byte " << int(byte) << " in " << href;
  }
  Result<Url> again = parse_url(href);
  ASSERT_TRUE(again.has_value()) << href << " from input of " << input.size() << " bytes";
  EXPECT_EQ(again->href(), href);
}

TEST(UrlRobustness, RandomInputsParseOrFail) {
  std::mt19937 random(20261210);
  const Url base = parse_url("https://user:pw@example.com:8443/a/b/c?q#f").value();
  const Url file_base = parse_url("file:///C:/dir/file").value();
  const Url opaque_base = parse_url("sc:opaque?q").value();
  const auto pick = [&](std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
  };
  for (int round = 0; round < 4000; ++round) {
    std::string input(kPrefixes[pick(std::size(kPrefixes))]);
    const std::size_t pieces = pick(24);
    for (std::size_t i = 0; i < pieces; ++i) {
      if (pick(4) == 0) {
        input += static_cast<char>(pick(256));
      } else {
        input += kPieces[pick(std::size(kPieces))];
      }
    }
    expect_sound(parse_url(input), input);
    expect_sound(parse_url(input, &base), input);
    expect_sound(parse_url(input, &file_base), input);
    expect_sound(parse_url(input, &opaque_base), input);
    if (testing::Test::HasFatalFailure()) {
      ADD_FAILURE() << "round " << round;
      return;
    }
  }
}

TEST(UrlRobustness, MebibyteInputs) {
  for (const test::LongUrl& input : test::long_urls()) {
    SCOPED_TRACE(input.label);
    expect_sound(parse_url(input.text), input.text);
  }
}

}  // namespace
}  // namespace orvo::core
