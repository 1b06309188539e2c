// Proxy variables whose names differ only in case: one variable on Windows,
// so the value set last is the proxy, whichever case its name was set in.
#include <gtest/gtest.h>

#include "core/net/download_proxy_fixture.hpp"

namespace orvo::core {
namespace {

using DownloadProxyWin = DownloadProxy;

TEST_F(DownloadProxyWin, HttpsGoesThroughTheProxyOfHttpsProxy) {
  proxy_variables.set("HTTPS_PROXY", "http://127.0.0.1:1");
  proxy_variables.set("https_proxy", proxy.url());  // the same variable, given a new value
  expect_fetch_through_proxy();
}

}  // namespace
}  // namespace orvo::core
