#include "orvo-release/verified_release.hpp"

#include "core/release/release_encoding.hpp"
#include "core/release/verify_release.hpp"
#include "orvo-release/file_io.hpp"

namespace orvo::release_tool {

core::Result<core::Manifest> read_verified_release(std::string_view key_hex,
                                                   const std::filesystem::path& envelope_file) {
  auto key = core::decode_hex(key_hex);
  if (!key || key->size() != 32) {
    return core::fail("--key must be the 64 hexadecimal digits of a release key");
  }
  // One byte beyond the limit is enough for verify_release to refuse the size.
  auto envelope = read_file_limited(envelope_file, core::kMaxEnvelopeBytes);
  if (!envelope) return core::fail(std::move(envelope).error());
  return core::verify_release(
      std::as_bytes(std::span(envelope->data(), envelope->size())),
      std::span<const unsigned char, 32>(reinterpret_cast<const unsigned char*>(key->data()), 32),
      false);
}

}  // namespace orvo::release_tool
