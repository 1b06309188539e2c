// Proxy variables whose names differ only in case: two variables on POSIX,
// one on Windows.
#include <gtest/gtest.h>

#include "core/net/download_proxy_fixture.hpp"

namespace orvo::core {
namespace {

TEST_F(DownloadProxy, HttpsGoesThroughTheProxyOfHttpsProxy) {
  proxy_variables.set("HTTPS_PROXY", proxy.url());
  proxy_variables.set("https_proxy", "http://127.0.0.1:1");  // the upper-case name wins
  expect_fetch_through_proxy();
}

}  // namespace
}  // namespace orvo::core
