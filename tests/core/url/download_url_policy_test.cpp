#include "core/url/download_url_policy.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace orvo::core {
namespace {

struct PolicyCase {
  std::string text;
  bool allow_loopback_http;
  std::string expected;  // "" when accepted, else the chain text of the refusal
};

void PrintTo(const PolicyCase& c, std::ostream* out) {
  *out << c.text << (c.allow_loopback_http ? " (loopback http allowed)" : "");
}

class ValidateDownloadUrl : public testing::TestWithParam<PolicyCase> {};

TEST_P(ValidateDownloadUrl, GivesTheVerdict) {
  const PolicyCase& c = GetParam();
  Result<Url> result = validate_download_url(c.text, c.allow_loopback_http);
  if (c.expected.empty()) {
    ASSERT_TRUE(result.has_value()) << c.text << ": " << result.error().chain_text();
  } else {
    ASSERT_FALSE(result.has_value()) << c.text << " was accepted as " << result->href();
    EXPECT_EQ(result.error().chain_text(), c.expected) << c.text;
  }
}

constexpr const char* kCredentials = "Download URLs cannot include credentials or fragments";
constexpr const char* kHttps = "ORVO downloads require HTTPS";
constexpr const char* kHostname = "Download URL needs a hostname";

INSTANTIATE_TEST_SUITE_P(
    Rules, ValidateDownloadUrl,
    testing::Values(
        PolicyCase{"https://downloads.example.com:8443/host/win-x64/latest.json?v=2", false, ""},
        PolicyCase{"HTTPS://DOWNLOADS.EXAMPLE.COM/x", false, ""},
        PolicyCase{"https://192.0.2.7/x", false, ""},
        PolicyCase{"https://[2001:db8::1]:444/x", false, ""},
        PolicyCase{"https://user@example.com/x", false, kCredentials},
        PolicyCase{"https://:secret@example.com/x", false, kCredentials},
        PolicyCase{"https://example.com/x#", false, kCredentials},
        PolicyCase{"https://example.com/x#part", false, kCredentials},
        PolicyCase{"ftp://user@example.com/x", false, kCredentials},
        PolicyCase{"file:///C:/x.zip", false, kHostname},
        PolicyCase{"file://server/x.zip", false, kHttps},
        PolicyCase{"mailto:someone@example.com", false, kHostname},
        PolicyCase{"ftp://example.com/x", false, kHttps},
        PolicyCase{"host.zip", false, "Invalid download URL: relative URL without a base"},
        PolicyCase{"https://example.com:99999/", false, "Invalid download URL: invalid port number"},
        PolicyCase{"https://:443/x", false, "Invalid download URL: empty host"},
        // The loopback switch, off and on.
        PolicyCase{"http://127.0.0.1:8080/x", false, kHttps},
        PolicyCase{"http://127.0.0.1:8080/x", true, ""},
        PolicyCase{"http://127.255.0.9/x", true, ""},
        PolicyCase{"http://127.1/x", true, ""},
        PolicyCase{"http://0x7f000001/x", true, ""},
        PolicyCase{"http://[::1]:8080/x", true, ""},
        PolicyCase{"http://localhost/x", true, kHttps},
        PolicyCase{"http://[::ffff:127.0.0.1]/x", true, kHttps},
        PolicyCase{"http://[::2]/x", true, kHttps},
        PolicyCase{"http://10.0.0.1/x", true, kHttps},
        PolicyCase{"http://128.0.0.1/x", true, kHttps},
        PolicyCase{"ws://127.0.0.1/x", true, kHttps},
        PolicyCase{"http://user@127.0.0.1/x", true, kCredentials}));

TEST(ValidateDownloadUrl, ReturnsTheParsedUrl) {
  Result<Url> url = validate_download_url("HTTPS://Example.COM:443/a/../b?q", false);
  ASSERT_TRUE(url.has_value());
  EXPECT_EQ(url->href(), "https://example.com/b?q");
}

TEST(ValidateDownloadUrl, RefusalsOfTheRulesCarryNoCause) {
  Result<Url> url = validate_download_url("http://example.com/", false);
  ASSERT_FALSE(url.has_value());
  EXPECT_EQ(url.error().cause(), nullptr);
}

Url parsed(const std::string& text) {
  Result<Url> url = parse_url(text);
  EXPECT_TRUE(url.has_value()) << text;
  return url.value_or(Url{});
}

// A request to `first` that has been redirected `redirects` times so far,
// every response redirecting to the same place.
std::vector<Url> visited_after(std::size_t redirects, const std::string& first) {
  return std::vector<Url>(redirects + 1, parsed(first));
}

TEST(CheckRedirect, FollowsFourRedirectsAndRefusesTheFifth) {
  const RedirectPolicy policy(false);
  const Url target = parsed("https://example.com/again");
  for (std::size_t redirect = 1; redirect <= 4; ++redirect) {
    EXPECT_TRUE(policy.check_redirect(target, visited_after(redirect - 1, "https://example.com/"))
                    .has_value())
        << "redirect " << redirect;
  }
  Result<void> fifth = policy.check_redirect(target, visited_after(4, "https://example.com/"));
  ASSERT_FALSE(fifth.has_value());
  EXPECT_EQ(fifth.error().chain_text(), "Too many download redirects");
}

TEST(CheckRedirect, CountComesBeforeTheTarget) {
  const RedirectPolicy policy(false);
  Result<void> result =
      policy.check_redirect(parsed("http://example.com/"), visited_after(4, "https://example.com/"));
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().chain_text(), "Too many download redirects");
}

TEST(CheckRedirect, RefusesAnInsecureTargetAtAnyPosition) {
  const RedirectPolicy policy(false);
  for (const char* target : {"http://example.com/x", "https://example.com/x#top",
                             "https://user:pw@example.com/", "file://server/x"}) {
    for (std::size_t redirect = 1; redirect <= 4; ++redirect) {
      Result<void> result =
          policy.check_redirect(parsed(target), visited_after(redirect - 1, "https://example.com/"));
      ASSERT_FALSE(result.has_value()) << target << " at redirect " << redirect;
      EXPECT_EQ(result.error().chain_text(), "Insecure download redirect");
      EXPECT_EQ(result.error().cause(), nullptr);
    }
  }
}

TEST(CheckRedirect, AppliesItsOwnLoopbackSwitch) {
  const Url target = parsed("http://127.0.0.1:9000/next");
  const std::vector<Url> visited = visited_after(0, "http://127.0.0.1:9000/");
  EXPECT_TRUE(RedirectPolicy(true).check_redirect(target, visited).has_value());
  Result<void> refused = RedirectPolicy(false).check_redirect(target, visited);
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error().chain_text(), "Insecure download redirect");
}

}  // namespace
}  // namespace orvo::core
