#include "support/fixed_release_key.hpp"

#include <sodium.h>

#include <array>
#include <cstddef>

#include "core/release/release_encoding.hpp"
#include "core/release/sha256.hpp"

namespace orvo::fuzz {
namespace {

struct KeyPair {
  std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> public_key{};
  std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secret_key{};

  KeyPair() {
    if (sodium_init() < 0) __builtin_trap();
    std::array<unsigned char, crypto_sign_SEEDBYTES> seed{};
    seed.fill(0x5a);
    crypto_sign_seed_keypair(public_key.data(), secret_key.data(), seed.data());
  }
};

const KeyPair& key_pair() {
  static const KeyPair pair;
  return pair;
}

}  // namespace

std::span<const unsigned char, 32> fixed_release_key() { return key_pair().public_key; }

std::string signed_envelope(std::string_view payload) {
  std::array<unsigned char, crypto_sign_BYTES> signature{};
  crypto_sign_detached(signature.data(), nullptr,
                       reinterpret_cast<const unsigned char*>(payload.data()), payload.size(),
                       key_pair().secret_key.data());
  const auto payload_bytes = std::as_bytes(std::span(payload.data(), payload.size()));
  return R"({"payload":")" + core::encode_base64(payload_bytes) + R"(","signature":")" +
         core::lower_hex(signature) + R"("})";
}

}  // namespace orvo::fuzz
