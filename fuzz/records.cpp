// Any bytes through the strict record reader, as an envelope and as a manifest.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/release/release_records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view json(reinterpret_cast<const char*>(data), size);
  (void)orvo::core::read_signed_envelope(json);
  (void)orvo::core::read_manifest(json);
  return 0;
}
