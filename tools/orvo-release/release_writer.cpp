#include "orvo-release/release_writer.hpp"

#include "core/release/json_string.hpp"
#include "core/release/release_encoding.hpp"
#include "core/release/sha256.hpp"
#include "core/release/verify_release.hpp"

namespace orvo::release_tool {

std::string manifest_json(const core::Manifest& manifest) {
  std::string json = "{\"schema_version\":" + std::to_string(manifest.schema_version);
  json += ",\"version\":";
  core::append_json_string(json, manifest.version);
  json += ",\"sequence\":" + std::to_string(manifest.sequence);
  json += ",\"target\":";
  core::append_json_string(json, manifest.target);
  json += ",\"package_url\":";
  core::append_json_string(json, manifest.package_url);
  json += ",\"package_sha256\":";
  core::append_json_string(json, manifest.package_sha256);
  json += ",\"package_size\":" + std::to_string(manifest.package_size);
  json += ",\"files\":" + core::manifest_files_json(manifest.files) + "}";
  return json;
}

std::string envelope_json(std::span<const std::byte> payload, const SigningKey& key) {
  return envelope_json(payload, core::lower_hex(key.sign(payload)));
}

std::string envelope_json(std::span<const std::byte> payload, std::string_view signature_hex) {
  std::string json = "{\"payload\":";
  core::append_json_string(json, core::encode_base64(payload));
  json += ",\"signature\":";
  core::append_json_string(json, signature_hex);
  json += "}";
  return json;
}

}  // namespace orvo::release_tool
