// A certificate authority made at test time and a server certificate it signed,
// so that TLS tests trust exactly what they set up and nothing on the machine.
#pragma once

#include <memory>
#include <string>

namespace orvo::test {

struct TestCertificates {
  std::string ca_pem;           // the authority's certificate, to be trusted by the client
  std::string server_cert_pem;  // issued by the authority
  std::string server_key_pem;   // the server certificate's private key
};

// A fresh authority and a server certificate for `name`: an IP address text
// ("127.0.0.1") becomes an IP subject alternative name, anything else a DNS
// name. Throws std::runtime_error when OpenSSL fails.
TestCertificates make_test_certificates(const std::string& name);

}  // namespace orvo::test
