#include "core/release/verify_release.hpp"

#include <sodium.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string_view>
#include <vector>

#include "core/release/ed25519_key.hpp"
#include "core/release/json_string.hpp"
#include "core/release/package_path.hpp"
#include "core/release/release_encoding.hpp"
#include "core/release/release_records.hpp"
#include "core/text/ascii_case.hpp"
#include "core/url/download_url_policy.hpp"

namespace orvo::core {
namespace {

constexpr std::size_t kSignatureBytes = 64;
constexpr std::size_t kMaxVersionBytes = 64;
constexpr std::uint64_t kMaxPackageSize = 0x40000000;
constexpr std::size_t kMaxFiles = 10000;
constexpr std::uint64_t kMaxFileSize = 0x20000000;
constexpr std::uint64_t kMaxInstalledSize = 0x80000000;

bool is_version_byte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

Result<void> check_version(std::string_view version) {
  bool valid = !version.empty() && version.size() <= kMaxVersionBytes;
  for (char c : version) valid = valid && is_version_byte(c);
  if (!valid) {
    return fail("Version must use at most 64 ASCII letters, digits, dots, hyphens or underscores");
  }
  return {};
}

Result<void> verify_signature(std::span<const std::byte> message,
                              std::span<const std::byte> signature,
                              std::span<const unsigned char, 32> key) {
  if (sodium_init() < 0) {
    return fail(Error("the signature library could not be initialised")
                    .wrap("The release signature could not be verified"));
  }
  if (crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                  reinterpret_cast<const unsigned char*>(message.data()),
                                  message.size(), key.data()) != 0) {
    return fail(Error("Ed25519 signature verification failed")
                    .wrap("The release signature could not be verified"));
  }
  return {};
}

// The rules on the files list alone: count, each file, folder clashes, the host executable.
Result<void> check_release_files(std::span<const ManifestFile> files) {
  if (files.empty() || files.size() > kMaxFiles) return fail("Invalid release file count");

  // One ordered set serves the duplicate test and the folder-clash look-ups.
  std::set<std::string, std::less<>> lower_paths;
  std::uint64_t total = 0;
  for (const ManifestFile& file : files) {
    if (auto path = check_package_path(file.path); !path) return path;
    if (auto digest = check_sha256_text(file.sha256); !digest) return digest;
    if (file.size > kMaxFileSize) return fail("Release file exceeds the size limit");
    if (!lower_paths.insert(ascii_lower(file.path)).second) return fail("Duplicate release path");
    if (file.size > UINT64_MAX - total || total + file.size > kMaxInstalledSize) {
      return fail("Installed release exceeds the size limit");
    }
    total += file.size;
  }
  for (std::string_view path : lower_paths) {
    for (std::size_t slash = path.find('/'); slash != std::string_view::npos;
         slash = path.find('/', slash + 1)) {
      if (lower_paths.contains(path.substr(0, slash))) {
        return fail("A release path is both a file and a directory");
      }
    }
  }
  if (!has_host_executable(files)) return fail("Release is missing ORVO.Host.exe");
  return {};
}

}  // namespace

Result<Manifest> verify_release(std::span<const std::byte> envelope,
                                std::span<const unsigned char, 32> release_key,
                                bool allow_loopback_http) {
  if (envelope.size() > kMaxEnvelopeBytes) return fail("Release manifest is too large");

  auto signed_envelope = read_signed_envelope(
      std::string_view(reinterpret_cast<const char*>(envelope.data()), envelope.size()));
  if (!signed_envelope) {
    return fail(std::move(signed_envelope).error().wrap("Invalid signed release envelope"));
  }
  auto payload = decode_base64(signed_envelope->payload);
  if (!payload) return fail(std::move(payload).error().wrap("Invalid release payload encoding"));
  auto signature = decode_hex(signed_envelope->signature);
  if (!signature) {
    return fail(std::move(signature).error().wrap("Invalid release signature encoding"));
  }
  if (signature->size() != kSignatureBytes) return fail("Invalid release signature length");

  if (auto point = check_ed25519_point(release_key); !point) {
    return fail(std::move(point).error().wrap("Invalid release verification key"));
  }
  if (auto verified = verify_signature(*payload, *signature, release_key); !verified) {
    return fail(std::move(verified).error());
  }

  // The signed bytes themselves are the manifest's text; nothing is re-encoded.
  auto manifest = read_manifest(
      std::string_view(reinterpret_cast<const char*>(payload->data()), payload->size()));
  if (!manifest) return fail(std::move(manifest).error().wrap("Invalid release manifest"));
  if (auto checked = check_manifest(*manifest, allow_loopback_http); !checked) {
    return fail(std::move(checked).error());
  }
  return manifest;
}

Result<void> check_manifest(const Manifest& manifest, bool allow_loopback_http) {
  if (manifest.schema_version != 1) return fail("Unsupported release manifest format");
  if (manifest.target != "win-x64") return fail("Release is not for Windows 64-bit");
  if (manifest.sequence == 0) return fail("Release sequence must be positive");
  if (auto version = check_version(manifest.version); !version) return version;
  // Only the verdict counts; the parsed URL is dropped.
  if (auto url = validate_download_url(manifest.package_url, allow_loopback_http); !url) {
    return fail(std::move(url).error());
  }
  if (auto digest = check_sha256_text(manifest.package_sha256); !digest) return digest;
  if (manifest.package_size == 0 || manifest.package_size > kMaxPackageSize) {
    return fail("Invalid package size");
  }
  return check_release_files(manifest.files);
}

bool same_release(const Manifest& a, const Manifest& b) {
  return a.sequence == b.sequence && a.version == b.version &&
         a.package_sha256 == b.package_sha256 && a.package_size == b.package_size &&
         manifest_files_json(a.files) == manifest_files_json(b.files);
}

bool has_host_executable(std::span<const ManifestFile> files) {
  for (const ManifestFile& file : files) {
    if (file.path == kHostExecutableName) return true;
  }
  return false;
}

Result<void> check_sha256_text(std::string_view text) {
  bool valid = text.size() == 64;
  for (char c : text) valid = valid && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
  if (!valid) return fail("Invalid SHA-256 digest");
  return {};
}

std::string manifest_files_json(std::span<const ManifestFile> files) {
  std::string json;
  json.reserve(128);
  json += '[';
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (i > 0) json += ',';
    json += "{\"path\":";
    append_json_string(json, files[i].path);
    json += ",\"size\":";
    json += std::to_string(files[i].size);
    json += ",\"sha256\":";
    append_json_string(json, files[i].sha256);
    json += '}';
  }
  json += ']';
  return json;
}

}  // namespace orvo::core
