// Test releases: signing keys, manifests that verify_release accepts, signed
// envelopes of any payload, and (through the orvo-release library) release
// folders packed into a package ZIP with their envelope.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "core/release/manifest.hpp"
#include "orvo-release/pack_release.hpp"
#include "orvo-release/signing_key.hpp"

namespace orvo::test {

// The bytes of a text, as verify_release and the hashing functions take them.
std::span<const std::byte> bytes_of(std::string_view text);

// A file of a test release: its package path and its content.
struct ReleaseFile {
  std::string path;
  std::string content;
};

// The manifest entry of a file with this content.
core::ManifestFile manifest_entry(std::string_view path, std::string_view content);

// The package URL of test manifests; nothing is fetched from it.
inline constexpr std::string_view kTestPackageUrl =
    "https://127.0.0.1/downloads/host/win-x64/host.zip";

// A manifest that verify_release accepts: schema 1, "win-x64", version
// "1.0.<sequence>", kTestPackageUrl, a package of 1,000 bytes with a made-up
// digest, and the given files (by default only an "ORVO.Host.exe").
core::Manifest valid_manifest(std::uint64_t sequence = 1);
core::Manifest valid_manifest(std::vector<core::ManifestFile> files, std::uint64_t sequence = 1);
// The same with the entries of these files.
core::Manifest manifest_of(std::span<const ReleaseFile> files, std::uint64_t sequence = 1);

// Signs release payloads with one Ed25519 key.
class ReleaseSigner {
 public:
  ReleaseSigner();  // a fresh random key
  explicit ReleaseSigner(release_tool::SigningKey key);

  const release_tool::SigningKey& key() const { return key_; }
  // The 32 bytes verify_release takes as the release key.
  std::span<const unsigned char, 32> release_key() const { return key_.public_key(); }

  // Lower-case hexadecimal text of the signature of these bytes.
  std::string signature_hex(std::string_view payload) const;
  // The envelope of exactly these payload bytes.
  std::string envelope(std::string_view payload) const;
  // The envelope of the manifest's compact JSON.
  std::string envelope(const core::Manifest& manifest) const;

 private:
  release_tool::SigningKey key_;
};

// Writes the files below folder, making the folders they need; a file named
// "ORVO.Host.exe" is made executable.
void write_release_folder(const std::filesystem::path& folder, std::span<const ReleaseFile> files);

struct ReleaseSettings {
  std::uint64_t sequence = 1;
  std::string version;  // empty: "1.0.<sequence>"
  std::string package_url = std::string(kTestPackageUrl);
  bool allow_loopback_http = true;  // so that plain-HTTP loopback URLs can be packed too
};

// A whole release made as `orvo-release pack` makes it: the files are written
// into work_dir/"release", then packed into work_dir/"out"/"host.zip" and
// signed into work_dir/"out"/"latest.json".
core::Result<release_tool::PackedRelease> build_release(const ReleaseSigner& signer,
                                                        const std::filesystem::path& work_dir,
                                                        std::span<const ReleaseFile> files,
                                                        const ReleaseSettings& settings = {});

}  // namespace orvo::test
