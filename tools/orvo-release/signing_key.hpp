// An Ed25519 release signing key. Its file holds the 32-byte seed as 64
// hexadecimal digits and a line break, readable by its owner only.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "base/error.hpp"

namespace orvo::release_tool {

using core::Result;

class SigningKey {
 public:
  static Result<SigningKey> generate();
  static Result<SigningKey> from_seed_hex(std::string_view text);

  std::span<const unsigned char, 32> public_key() const { return public_key_; }
  // The 64-digit text that a launcher build takes as its release key.
  std::string public_key_hex() const;
  std::string seed_hex() const;

  // The detached Ed25519 signature of the message.
  std::array<unsigned char, 64> sign(std::span<const std::byte> message) const;

 private:
  SigningKey() = default;
  std::array<unsigned char, 32> public_key_{};
  std::array<unsigned char, 64> secret_key_{};
};

// Writes a new key file; an existing file is never replaced.
Result<void> save_signing_key(const std::filesystem::path& path, const SigningKey& key);
Result<SigningKey> load_signing_key(const std::filesystem::path& path);

}  // namespace orvo::release_tool
