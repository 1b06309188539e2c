// The client's trust and proxy settings, against real servers on 127.0.0.1.
#include "core/net/download_client.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/fs/temp_dir.hpp"
#include "core/net/download_proxy_fixture.hpp"
#include "support/net/download_fixture.hpp"

namespace orvo::core {
namespace {

using test::Answer;
using test::ScopedVariable;

class DownloadTrust : public testing::Test {
 protected:
  // The download fails in the TLS handshake, before any request, with an error naming `fragment`.
  void expect_refused(const test::TlsServer& server, const std::shared_ptr<const DownloadClient>& client,
                      std::string_view fragment) {
    Result<DownloadBody> body = start_download(client, server.url("/file"), test::kGenerousSeconds, cancel);
    ASSERT_FALSE(body);
    EXPECT_NE(body.error().chain_text().find(fragment), std::string::npos) << body.error().chain_text();
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(test::workers_finished(client));
  }

  test::ProxyVariables proxy_variables;
  CancelFlag cancel;
};

// The built-in roots are the only trust: an authority that OpenSSL's own
// defaults would find (through SSL_CERT_FILE and SSL_CERT_DIR) is not used.
TEST_F(DownloadTrust, BuiltInRootsIgnoreTheSystemStore) {
  test::TlsServer server;
  server.on("/file", Answer::body("secret"));
  test::TempDir store;
  test::write_file(store / "ca.pem", server.ca_pem());
  ScopedVariable file("SSL_CERT_FILE", (store / "ca.pem").string());
  ScopedVariable dir("SSL_CERT_DIR", store.path().string());

  Result<std::shared_ptr<const DownloadClient>> client = build_download_client();
  ASSERT_TRUE(client) << client.error().chain_text();
  expect_refused(server, *client, "SSL certificate problem");
}

TEST_F(DownloadTrust, CertificateForAnotherNameIsRefused) {
  test::TlsServer server({.certificate_name = "downloads.example.com"});
  server.on("/file", Answer::body("secret"));
  Result<std::shared_ptr<const DownloadClient>> client =
      build_download_client({.roots_pem = server.ca_pem()});
  ASSERT_TRUE(client) << client.error().chain_text();
  expect_refused(server, *client, "'127.0.0.1'");
}

TEST_F(DownloadProxy, NoProxyListGoesDirect) {
  server.on("/file", Answer::body("direct"));
  proxy_variables.set("HTTPS_PROXY", proxy.url());
  proxy_variables.set("NO_PROXY", "example.com,127.0.0.1");
  Result<DownloadBody> body = fetch();
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_EQ(test::read_to_end(*body).bytes, "direct");
  EXPECT_TRUE(proxy.requests().empty());
  EXPECT_EQ(server.requests().size(), 1u);
}

// TLS 1.2 and 1.3 only, towards the download server and towards an HTTPS
// proxy alike: no client hello offers anything older.
class OfferedTlsVersions : public test::DownloadFixture, public testing::WithParamInterface<bool> {};

TEST_P(OfferedTlsVersions, StartAtOnePointTwo) {
  server.on("/file", Answer::body("ok"));
  const bool through_proxy = GetParam();
  if (through_proxy) {
    // The test server itself is the proxy: its handshake is what counts, and
    // its answer to CONNECT ends the request.
    proxy_variables.set("HTTPS_PROXY", "https://127.0.0.1:" + std::to_string(server.port()));
    Result<std::shared_ptr<const DownloadClient>> built = build_download_client({.roots_pem = server.ca_pem()});
    ASSERT_TRUE(built) << built.error().chain_text();
    client = *built;
  }
  Result<DownloadBody> body = start("/file");
  EXPECT_EQ(body.has_value(), !through_proxy);
  std::vector<int> lowest = server.lowest_offered_versions();
  ASSERT_FALSE(lowest.empty());
  for (int version : lowest) EXPECT_EQ(version, TLS1_2_VERSION) << std::hex << version;
  if (through_proxy) {
    ASSERT_FALSE(server.requests().empty());
    EXPECT_TRUE(server.requests()[0].line.starts_with("CONNECT ")) << server.requests()[0].line;
  }
}

INSTANTIATE_TEST_SUITE_P(Connections, OfferedTlsVersions, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "HttpsProxy" : "Server";
                         });

}  // namespace
}  // namespace orvo::core
