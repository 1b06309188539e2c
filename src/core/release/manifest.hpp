// The signed release envelope and the release manifest it carries. A Manifest
// that the launcher acts on only ever comes from verify_release.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::core {

// The host program every release carries at its root, the file that is started.
inline constexpr std::string_view kHostExecutableName = "ORVO.Host.exe";

struct SignedEnvelope {
  std::string payload;    // Base64 of the manifest's JSON bytes
  std::string signature;  // hexadecimal text of a 64-byte Ed25519 signature
};

struct ManifestFile {
  std::string path;  // a package path, '/'-separated
  std::uint64_t size = 0;
  std::string sha256;  // 64 lower-case hexadecimal digits

  bool operator==(const ManifestFile&) const = default;
};

struct Manifest {
  std::uint32_t schema_version = 0;
  std::string version;
  std::uint64_t sequence = 0;
  std::string target;
  std::string package_url;
  std::string package_sha256;
  std::uint64_t package_size = 0;
  std::vector<ManifestFile> files;
};

}  // namespace orvo::core
