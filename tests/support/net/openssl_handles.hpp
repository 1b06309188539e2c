// Owning handles for the OpenSSL objects the test fixtures create.
#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>

namespace orvo::test {

template <class T, void (*Free)(T*)>
struct OpenSslFree {
  void operator()(T* object) const { Free(object); }
};

using BioHandle = std::unique_ptr<BIO, OpenSslFree<BIO, BIO_free_all>>;
using KeyHandle = std::unique_ptr<EVP_PKEY, OpenSslFree<EVP_PKEY, EVP_PKEY_free>>;
using CertHandle = std::unique_ptr<X509, OpenSslFree<X509, X509_free>>;
using SslContextHandle = std::unique_ptr<SSL_CTX, OpenSslFree<SSL_CTX, SSL_CTX_free>>;
using SslHandle = std::unique_ptr<SSL, OpenSslFree<SSL, SSL_free>>;

}  // namespace orvo::test
