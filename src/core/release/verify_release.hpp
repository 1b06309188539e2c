// The launcher's trust boundary: verify_release turns the bytes of a signed
// release envelope into a Manifest only when the payload carries a valid
// Ed25519 signature by the release key and the manifest passes every rule.
// The other functions here are the release's identity and the rules on their
// own, for those who build releases. All are pure.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "core/release/manifest.hpp"

namespace orvo::core {

// The largest envelope that is read at all.
inline constexpr std::size_t kMaxEnvelopeBytes = 0x400000;

Result<Manifest> verify_release(std::span<const std::byte> envelope,
                                std::span<const unsigned char, 32> release_key,
                                bool allow_loopback_http);

// Every rule on a manifest's values, in the order verify_release applies them.
Result<void> check_manifest(const Manifest& manifest, bool allow_loopback_http);

// Whether two verified manifests describe the same release: sequence, version,
// package digest and size, and the files list entry by entry.
bool same_release(const Manifest& a, const Manifest& b);
// Whether some file is "ORVO.Host.exe" at the package root (case-sensitive).
bool has_host_executable(std::span<const ManifestFile> files);
// Success for exactly 64 lower-case hexadecimal digits, else "Invalid SHA-256 digest".
Result<void> check_sha256_text(std::string_view text);
// The files list as compact JSON: [{"path":…,"size":…,"sha256":…},…].
std::string manifest_files_json(std::span<const ManifestFile> files);

}  // namespace orvo::core
