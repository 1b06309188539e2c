// Proxy variables whose names differ only in case: two variables on POSIX,
// one on Windows.
#include <gtest/gtest.h>

#include <string>

#include "core/net/download_proxy_fixture.hpp"

namespace orvo::core {
namespace {

using test::Answer;

TEST_F(DownloadProxy, HttpsGoesThroughTheProxyOfHttpsProxy) {
  server.on("/file", Answer::body("tunnelled"));
  proxy_variables.set("HTTPS_PROXY", proxy.url());
  proxy_variables.set("https_proxy", "http://127.0.0.1:1");  // the upper-case name wins
  Result<DownloadBody> body = fetch();
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_EQ(test::read_to_end(*body).bytes, "tunnelled");
  ASSERT_EQ(proxy.requests().size(), 1u);
  const std::string authority = "127.0.0.1:" + std::to_string(server.port());
  EXPECT_EQ(proxy.requests()[0].line, "CONNECT " + authority + " HTTP/1.1");
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].line, "GET /file HTTP/1.1");
}

}  // namespace
}  // namespace orvo::core
