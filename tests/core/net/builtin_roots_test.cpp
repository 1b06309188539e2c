#include "core/net/builtin_roots.hpp"

#include <gtest/gtest.h>
#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace orvo::core {
namespace {

// Every entry must be a usable trust anchor; a truncated or mangled file
// would silently shrink the set curl sees.
constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";

TEST(BuiltinRoots, AreSelfSignedAuthoritiesOnly) {
  const std::string_view pem = builtin_roots_pem();
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())),
                                                BIO_free);
  ASSERT_NE(bio, nullptr);
  std::size_t count = 0;
  while (X509* raw = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
    std::unique_ptr<X509, decltype(&X509_free)> cert(raw, X509_free);
    ++count;
    EXPECT_NE(X509_check_ca(cert.get()), 0) << "entry " << count << " is no authority";
    EXPECT_EQ(X509_check_issued(cert.get(), cert.get()), X509_V_OK)
        << "entry " << count << " is not self-issued";
  }
  std::size_t begins = 0;
  for (std::size_t at = pem.find(kBegin); at != std::string_view::npos; at = pem.find(kBegin, at + 1)) {
    ++begins;
  }
  EXPECT_EQ(count, begins) << "some entries did not parse";
  EXPECT_GT(count, 100u);
}

}  // namespace
}  // namespace orvo::core
