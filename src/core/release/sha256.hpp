// SHA-256 computed piece by piece, with the digest as lower-case hexadecimal text.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>

namespace orvo::core {

class Sha256 {
 public:
  Sha256();
  Sha256(Sha256&&) noexcept;
  Sha256& operator=(Sha256&&) noexcept;
  ~Sha256();

  void update(std::span<const std::byte> bytes);
  // The digest as 64 lower-case hexadecimal digits; the computation is then spent.
  std::string finish_hex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// 64 lower-case hexadecimal digits of the SHA-256 of bytes.
std::string sha256_hex(std::span<const std::byte> bytes);

// Two lower-case hexadecimal digits per byte, high digit first.
std::string lower_hex(std::span<const unsigned char> bytes);

}  // namespace orvo::core
