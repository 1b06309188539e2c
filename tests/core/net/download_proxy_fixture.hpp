// A download through the CONNECT proxy that the proxy variables name.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

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

  // Fetches "/file", which the server answers with "tunnelled", and checks
  // that it came through the proxy's tunnel.
  void expect_fetch_through_proxy() {
    server.on("/file", test::Answer::body("tunnelled"));
    Result<DownloadBody> body = fetch();
    ASSERT_TRUE(body) << body.error().chain_text();
    EXPECT_EQ(test::read_to_end(*body).bytes, "tunnelled");
    ASSERT_EQ(proxy.requests().size(), 1u);
    const std::string authority = "127.0.0.1:" + std::to_string(server.port());
    EXPECT_EQ(proxy.requests()[0].line, "CONNECT " + authority + " HTTP/1.1");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].line, "GET /file HTTP/1.1");
  }

  test::ProxyVariables proxy_variables;
  test::TlsServer server;
  test::ConnectProxy proxy;
  std::shared_ptr<const DownloadClient> client;
  CancelFlag cancel;
};

}  // namespace orvo::core
