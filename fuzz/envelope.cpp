// Any bytes as a signed release envelope, verified against a fixed key: the
// size rule, the envelope reader, the two decoders and the signature check.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/release/verify_release.hpp"
#include "support/fixed_release_key.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto envelope = std::as_bytes(std::span(data, size));
  (void)orvo::core::verify_release(envelope, orvo::fuzz::fixed_release_key(), false);
  return 0;
}
