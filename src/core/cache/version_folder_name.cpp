#include "core/cache/version_folder_name.hpp"

#include <cstddef>
#include <span>

#include "core/release/sha256.hpp"
#include "platform/random.hpp"

namespace orvo::core {

namespace {

constexpr std::size_t kDigestDigits = 16;

}  // namespace

Result<InstallationId> draw_installation_id() {
  InstallationId id{};
  if (auto filled = platform::fill_random(std::as_writable_bytes(std::span(id))); !filled) {
    return fail("Cannot create an installation ID: " + filled.error().chain_text());
  }
  return id;
}

std::string version_folder_name(std::uint64_t sequence, std::string_view package_sha256,
                                const InstallationId& id) {
  return std::to_string(sequence) + "-" + std::string(package_sha256.substr(0, kDigestDigits)) +
         "-" + lower_hex(id);
}

}  // namespace orvo::core
