#include "core/release/sha256.hpp"

#include <openssl/evp.h>

#include <cstdlib>

namespace orvo::core {

struct Sha256::State {
  EVP_MD_CTX* context = nullptr;
  ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  state_->context = EVP_MD_CTX_new();
  // Only an exhausted heap makes these fail; there is no sound way on from there.
  if (state_->context == nullptr || EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) != 1) {
    std::abort();
  }
}

Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;
Sha256::~Sha256() = default;

void Sha256::update(std::span<const std::byte> bytes) {
  if (EVP_DigestUpdate(state_->context, bytes.data(), bytes.size()) != 1) std::abort();
}

std::string Sha256::finish_hex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(state_->context, digest, &length) != 1) std::abort();
  return lower_hex(std::span<const unsigned char>(digest, length));
}

std::string sha256_hex(std::span<const std::byte> bytes) {
  Sha256 hash;
  hash.update(bytes);
  return hash.finish_hex();
}

std::string lower_hex(std::span<const unsigned char> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

}  // namespace orvo::core
