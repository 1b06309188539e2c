// A download through the CONNECT proxy that the proxy variables name.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "core/net/download_client.hpp"
#include "support/net/connect_proxy.hpp"
#include "support/net/download_fixture.hpp"

namespace orvo::core {

class DownloadProxy : public testing::Test {
 protected:
  void TearDown() override {
    server.stop();
    EXPECT_TRUE(test::workers_finished(client));
  }

  Result<DownloadBody> fetch() {
    Result<std::shared_ptr<const DownloadClient>> built =
        build_download_client({.roots_pem = server.ca_pem()});
    if (!built) return fail(std::move(built).error());
    client = *built;
    return start_download(client, server.url("/file"), test::kGenerousSeconds, cancel);
  }

  test::ProxyVariables proxy_variables;
  test::TlsServer server;
  test::ConnectProxy proxy;
  std::shared_ptr<const DownloadClient> client;
  CancelFlag cancel;
};

}  // namespace orvo::core
