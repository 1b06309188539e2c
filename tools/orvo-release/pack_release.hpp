// A whole release from a folder: the package "host.zip" and the signed
// envelope "latest.json" of a manifest listing every file, written into an
// output folder. A folder the launcher would refuse is refused before any
// file is hashed or written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "base/error.hpp"
#include "core/release/manifest.hpp"
#include "orvo-release/signing_key.hpp"

namespace orvo::release_tool {

struct PackRequest {
  std::filesystem::path folder;
  std::filesystem::path out_dir;
  std::uint64_t sequence = 1;
  std::string version;
  std::string package_url;
  // Handed to the URL rule as verify_release takes it; the launcher and the tool say false.
  bool allow_loopback_http = false;
};

struct PackedRelease {
  core::Manifest manifest;
  std::string envelope;
  std::filesystem::path package;        // out_dir / "host.zip"
  std::filesystem::path envelope_file;  // out_dir / "latest.json"
};

Result<PackedRelease> pack_release(const PackRequest& request, const SigningKey& key);

}  // namespace orvo::release_tool
