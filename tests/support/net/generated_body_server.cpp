#include "support/net/generated_body_server.hpp"

namespace orvo::test {

namespace {

constexpr std::string_view kPath = "/big";

}  // namespace

GeneratedBodyServer::GeneratedBodyServer(std::uint64_t body_size) : ca_file_(folder_ / "ca.pem") {
  Answer body;
  body.generated_size = body_size;
  server_.on(std::string(kPath), body);
  write_file(ca_file_, server_.ca_pem());
}

std::string GeneratedBodyServer::url() const { return server_.url(kPath); }

}  // namespace orvo::test
