#include "support/net/test_certificates.hpp"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <stdexcept>

#include "support/net/openssl_handles.hpp"

namespace orvo::test {

namespace {

using Key = KeyHandle;
using Cert = CertHandle;

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificates: ") + what);
}

Key new_key() {
  Key key(EVP_EC_gen("P-256"));
  check(key != nullptr, "key generation");
  return key;
}

void add_extension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  check(extension != nullptr, "extension");
  const bool added = X509_add_ext(cert, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  check(added, "adding an extension");
}

// An unsigned certificate for subject_key, issued by issuer (itself when null).
Cert new_certificate(const char* common_name, EVP_PKEY* subject_key, X509* issuer, long serial) {
  Cert cert(X509_new());
  check(cert != nullptr, "certificate");
  X509* self = cert.get();
  check(X509_set_version(self, X509_VERSION_3) == 1, "version");
  check(ASN1_INTEGER_set(X509_get_serialNumber(self), serial) == 1, "serial");
  check(X509_gmtime_adj(X509_getm_notBefore(self), -3600) != nullptr, "not before");
  check(X509_gmtime_adj(X509_getm_notAfter(self), 7 * 24 * 3600) != nullptr, "not after");
  X509_NAME* name = X509_get_subject_name(self);
  check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(common_name), -1, -1,
                                   0) == 1,
        "subject");
  check(X509_set_issuer_name(self, issuer != nullptr ? X509_get_subject_name(issuer) : name) == 1,
        "issuer");
  check(X509_set_pubkey(self, subject_key) == 1, "public key");
  X509* extension_issuer = issuer != nullptr ? issuer : self;
  add_extension(self, extension_issuer, NID_subject_key_identifier, "hash");
  add_extension(self, extension_issuer, NID_authority_key_identifier, "keyid:always");
  return cert;
}

void sign(X509* cert, EVP_PKEY* key) { check(X509_sign(cert, key, EVP_sha256()) > 0, "signing"); }

template <class Write>
std::string pem_text(Write write) {
  BioHandle bio(BIO_new(BIO_s_mem()));
  check(bio != nullptr && write(bio.get()), "PEM encoding");
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

bool is_ip_address(const std::string& name) {
  ASN1_OCTET_STRING* address = a2i_IPADDRESS(name.c_str());
  ASN1_OCTET_STRING_free(address);
  return address != nullptr;
}

}  // namespace

TestCertificates make_test_certificates(const std::string& name) {
  Key ca_key = new_key();
  Cert ca = new_certificate("ORVO Test CA", ca_key.get(), nullptr, 1);
  add_extension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE");
  add_extension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
  sign(ca.get(), ca_key.get());

  Key server_key = new_key();
  Cert server = new_certificate(name.c_str(), server_key.get(), ca.get(), 2);
  add_extension(server.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE");
  add_extension(server.get(), ca.get(), NID_key_usage, "critical,digitalSignature");
  add_extension(server.get(), ca.get(), NID_ext_key_usage, "serverAuth");
  const std::string alt_name = (is_ip_address(name) ? "IP:" : "DNS:") + name;
  add_extension(server.get(), ca.get(), NID_subject_alt_name, alt_name.c_str());
  sign(server.get(), ca_key.get());

  TestCertificates result;
  result.ca_pem = pem_text([&](BIO* bio) { return PEM_write_bio_X509(bio, ca.get()) == 1; });
  result.server_cert_pem =
      pem_text([&](BIO* bio) { return PEM_write_bio_X509(bio, server.get()) == 1; });
  result.server_key_pem = pem_text([&](BIO* bio) {
    return PEM_write_bio_PrivateKey(bio, server_key.get(), nullptr, nullptr, 0, nullptr, nullptr) ==
           1;
  });
  return result;
}

}  // namespace orvo::test
