// What the download benchmarks measure against: a TLS test server that serves
// a generated body of a given size, its authority's certificate in a file for
// command-line clients, and no proxy variables in the way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/fs/temp_dir.hpp"
#include "support/net/download_fixture.hpp"
#include "support/net/tls_server.hpp"

namespace orvo::test {

class GeneratedBodyServer {
 public:
  explicit GeneratedBodyServer(std::uint64_t body_size);

  const TlsServer& server() const { return server_; }
  // The URL of the generated body.
  std::string url() const;
  const std::filesystem::path& ca_file() const { return ca_file_; }

 private:
  ProxyVariables no_proxies_;
  TlsServer server_;
  TempDir folder_;
  std::filesystem::path ca_file_;
};

}  // namespace orvo::test
