// Any bytes as a manifest that the fixed key has signed, so that every check
// behind the signature is reached. A manifest that verify_release returns
// must pass the manifest rules again on its own.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/release/verify_release.hpp"
#include "support/fixed_release_key.hpp"
#include "support/fuzz_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string envelope =
      orvo::fuzz::signed_envelope(std::string_view(reinterpret_cast<const char*>(data), size));
  auto manifest = orvo::core::verify_release(std::as_bytes(std::span(envelope)),
                                             orvo::fuzz::fixed_release_key(), false);
  if (!manifest) return 0;
  if (auto checked = orvo::core::check_manifest(*manifest, false); !checked) {
    orvo::fuzz::property_failed("an accepted manifest fails the manifest rules",
                                checked.error().chain_text());
  }
  if (!orvo::core::has_host_executable(manifest->files)) {
    orvo::fuzz::property_failed("an accepted manifest has no host executable");
  }
  return 0;
}
