#include "orvo-release/signing_key.hpp"

#include <sodium.h>

#include <system_error>

#include "core/release/release_encoding.hpp"
#include "core/release/sha256.hpp"
#include "orvo-release/file_io.hpp"

namespace orvo::release_tool {
namespace {

constexpr std::size_t kKeyFileLimit = 4096;

Result<void> start_sodium() {
  if (sodium_init() < 0) return core::fail("the signature library could not be initialised");
  return {};
}

}  // namespace

Result<SigningKey> SigningKey::generate() {
  if (auto started = start_sodium(); !started) return core::fail(started.error());
  SigningKey key;
  crypto_sign_keypair(key.public_key_.data(), key.secret_key_.data());
  return key;
}

Result<SigningKey> SigningKey::from_seed_hex(std::string_view text) {
  auto seed = core::decode_hex(text);
  if (!seed || seed->size() != crypto_sign_SEEDBYTES) {
    return core::fail("a signing key is 64 hexadecimal digits");
  }
  if (auto started = start_sodium(); !started) return core::fail(started.error());
  SigningKey key;
  crypto_sign_seed_keypair(key.public_key_.data(), key.secret_key_.data(),
                           reinterpret_cast<const unsigned char*>(seed->data()));
  return key;
}

std::string SigningKey::public_key_hex() const { return core::lower_hex(public_key_); }

std::string SigningKey::seed_hex() const {
  // libsodium keeps the seed as the first half of its secret key.
  return core::lower_hex(std::span<const unsigned char>(secret_key_.data(), crypto_sign_SEEDBYTES));
}

std::array<unsigned char, 64> SigningKey::sign(std::span<const std::byte> message) const {
  std::array<unsigned char, 64> signature{};
  crypto_sign_detached(signature.data(), nullptr,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                       secret_key_.data());
  return signature;
}

Result<void> save_signing_key(const std::filesystem::path& path, const SigningKey& key) {
  const std::string text = key.seed_hex() + "\n";
  return write_new_file(path, text, FileAccess::OwnerOnly);
}

Result<SigningKey> load_signing_key(const std::filesystem::path& path) {
  auto text = read_file_limited(path, kKeyFileLimit);
  if (!text) return core::fail(std::move(text).error());
  std::string_view seed = *text;
  while (!seed.empty() && (seed.back() == '\n' || seed.back() == '\r')) seed.remove_suffix(1);
  return SigningKey::from_seed_hex(seed);
}

}  // namespace orvo::release_tool
