// Redirects as the download worker follows them: every target is resolved by
// our URL parser and decided by the redirect policy before it is requested.
#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/net/download_fixture.hpp"
#include "support/suite/run_program.hpp"

namespace orvo::core {
namespace {

using test::Answer;

class Redirects : public test::DownloadFixture {
 protected:
  std::vector<std::string> requested_targets() const {
    std::vector<std::string> targets;
    for (const test::RecordedRequest& request : server.requests()) targets.push_back(request.target());
    return targets;
  }
};

class FollowedCodes : public Redirects, public testing::WithParamInterface<int> {};

TEST_P(FollowedCodes, LeadToTheTarget) {
  server.on("/start", Answer::redirect(GetParam(), "end"));
  server.on("/end", Answer::body("done"));
  Result<DownloadBody> body = start("/start");
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_EQ(test::read_to_end(*body).bytes, "done");
  EXPECT_EQ(requested_targets(), (std::vector<std::string>{"/start", "/end"}));
  // The redirected request is made like the first one.
  EXPECT_EQ(server.requests().back().line, "GET /end HTTP/1.1");
  EXPECT_EQ(server.requests().back().header("User-Agent"), "ORVO-Support-Launcher/0.1.0");
}

INSTANTIATE_TEST_SUITE_P(Codes, FollowedCodes, testing::Values(301, 302, 303, 307, 308));

TEST_F(Redirects, ChainOfFourWithEveryLocationFormSucceeds) {
  const std::string authority = "127.0.0.1:" + std::to_string(server.port());
  server.on("/a/r1", Answer::redirect(302, "r2"));                     // relative path
  server.on("/a/r2", Answer::redirect(301, "/b/r3?q=1"));              // absolute path
  server.on("/b/r3?q=1", Answer::redirect(307, server.url("/r4")));   // absolute URL
  server.on("/r4", Answer::redirect(308, "//" + authority + "/final"));  // scheme-relative
  server.on("/final", Answer::body("arrived"));
  Result<DownloadBody> body = start("/a/r1");
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_EQ(test::read_to_end(*body).bytes, "arrived");
  EXPECT_EQ(requested_targets(),
            (std::vector<std::string>{"/a/r1", "/a/r2", "/b/r3?q=1", "/r4", "/final"}));
}

// LC_CTYPE set, for the life of the value, to a Turkish locale that the test
// builds itself: there std::tolower('I') is not 'i'. Inactive when the system
// has no locale sources to build it from.
class TurkishCtype {
 public:
  TurkishCtype() {
    const std::filesystem::path localedef = "/usr/bin/localedef";
    if (!std::filesystem::exists(localedef) ||
        !std::filesystem::exists("/usr/share/i18n/locales/tr_TR")) {
      return;
    }
    const test::ProgramOutput made = test::run_program(
        localedef, {"-i", "tr_TR", "-f", "ISO-8859-9", (folder_ / "tr_TR.ISO-8859-9").string()});
    if (made.exit_code != 0) return;
    locale_path_.emplace("LOCPATH", folder_.path().string());
    saved_ctype_ = std::setlocale(LC_CTYPE, nullptr);
    active_ = std::setlocale(LC_CTYPE, "tr_TR.ISO-8859-9") != nullptr;
    changed_ = true;
  }
  TurkishCtype(const TurkishCtype&) = delete;
  TurkishCtype& operator=(const TurkishCtype&) = delete;
  ~TurkishCtype() {
    if (!changed_) return;
    std::setlocale(LC_CTYPE, saved_ctype_.c_str());
  }

  bool active() const { return active_; }

 private:
  test::TempDir folder_;
  std::optional<test::ScopedVariable> locale_path_;
  std::string saved_ctype_;
  bool changed_ = false;
  bool active_ = false;
};

// A server may write header names in any case, whatever the process's locale.
TEST_F(Redirects, LocationHeaderNameInAnyCase) {
  TurkishCtype turkish;
  if (turkish.active()) {
    EXPECT_NE(std::tolower('I'), 'i') << "the locale does not show what it is meant to";
  }
  Answer moved = Answer::status_only(302, "Found");
  moved.headers.push_back({"LOCATION", "/end"});
  server.on("/start", moved);
  server.on("/end", Answer::body("done"));
  Result<DownloadBody> body = start("/start");
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_EQ(test::read_to_end(*body).bytes, "done");
}

TEST_F(Redirects, SelfRedirectIsFollowedFourTimesThenRefused) {
  server.on("/loop", Answer::redirect(302, "/loop"));
  Result<DownloadBody> body = start("/loop");
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().chain_text(), "Download redirect refused for url (" + server.url("/loop") +
                                           "): Too many download redirects");
  EXPECT_EQ(requested_targets(), std::vector<std::string>(5, "/loop"));
}

struct RefusedCase {
  std::string name;
  std::string refused_location;  // "<port>" stands for the server's port
  int hops_before;               // redirects followed before the refused one
};

class RefusedTargets : public Redirects, public testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedTargets, EndTheRequestWithoutRequestingThem) {
  std::string location = GetParam().refused_location;
  if (std::size_t at = location.find("<port>"); at != std::string::npos) {
    location.replace(at, 6, std::to_string(server.port()));
  }
  std::vector<std::string> expected;
  for (int hop = 0; hop < GetParam().hops_before; ++hop) {
    const std::string path = "/hop" + std::to_string(hop);
    server.on(path, Answer::redirect(302, "/hop" + std::to_string(hop + 1)));
    expected.push_back(path);
  }
  const std::string last = "/hop" + std::to_string(GetParam().hops_before);
  server.on(last, Answer::redirect(302, location));
  expected.push_back(last);
  server.on("/x", Answer::body("must not be fetched"));

  Result<DownloadBody> body = start("/hop0");
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().chain_text(),
            "Download redirect refused for url (" + server.url(last) + "): Insecure download redirect");
  EXPECT_EQ(requested_targets(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Policy, RefusedTargets,
    testing::Values(RefusedCase{"HttpsToHttp", "http://127.0.0.1:<port>/x", 0},
                    RefusedCase{"Fragment", "/x#part", 0},
                    RefusedCase{"EmptyFragment", "/x#", 0},
                    RefusedCase{"Credentials", "https://user:pw@127.0.0.1:<port>/x", 0},
                    RefusedCase{"OtherScheme", "ftp://127.0.0.1/x", 0},
                    RefusedCase{"HttpAfterTwoHops", "http://127.0.0.1:<port>/x", 2}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

// A status error names the URL that answered, not the one first asked for.
TEST_F(Redirects, StatusErrorNamesTheRedirectedUrl) {
  server.on("/old", Answer::redirect(301, "/gone"));
  server.on("/gone", Answer::status_only(404, "Not Found"));
  Result<DownloadBody> body = start("/old");
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().chain_text(),
            "HTTP status client error (404 Not Found) for url (" + server.url("/gone") + ")");
}

TEST_F(Redirects, UnparsableLocationFailsTheRequest) {
  server.on("/start", Answer::redirect(302, "https://[not-an-address/"));
  Result<DownloadBody> body = start("/start");
  ASSERT_FALSE(body);
  EXPECT_TRUE(body.error().chain_text().starts_with("Invalid download redirect location for url (" +
                                                    server.url("/start") + "): "))
      << body.error().chain_text();
  EXPECT_EQ(requested_targets(), std::vector<std::string>{"/start"});
}

// The time limit spans the whole chain: two hops that each fit in the limit
// do not fit together.
TEST_F(Redirects, TimeLimitCoversEveryHop) {
  Answer first = Answer::redirect(302, "/second");
  first.delay = std::chrono::milliseconds(700);
  Answer second = Answer::body("late");
  second.delay = std::chrono::milliseconds(700);
  server.on("/first", first);
  server.on("/second", second);
  Result<DownloadBody> body = start("/first", 1);
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().chain_text(), "Timeout was reached: operation timed out");
}

}  // namespace
}  // namespace orvo::core
