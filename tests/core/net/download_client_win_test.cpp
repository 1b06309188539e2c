// Proxy variables whose names differ only in case: one variable on Windows,
// so the value set last is the proxy, whichever case its name was set in.
#include <gtest/gtest.h>

#include <string>

#include "core/net/download_proxy_fixture.hpp"

namespace orvo::core {
namespace {

using test::Answer;
using DownloadProxyWin = DownloadProxy;

TEST_F(DownloadProxyWin, HttpsGoesThroughTheProxyOfHttpsProxy) {
  server.on("/file", Answer::body("tunnelled"));
  proxy_variables.set("HTTPS_PROXY", "http://127.0.0.1:1");
  proxy_variables.set("https_proxy", proxy.url());  // the same variable, given a new value
  Result<DownloadBody> body = fetch();
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_EQ(test::read_to_end(*body).bytes, "tunnelled");
  ASSERT_EQ(proxy.requests().size(), 1u);
  const std::string authority = "127.0.0.1:" + std::to_string(server.port());
  EXPECT_EQ(proxy.requests()[0].line, "CONNECT " + authority + " HTTP/1.1");
}

}  // namespace
}  // namespace orvo::core
