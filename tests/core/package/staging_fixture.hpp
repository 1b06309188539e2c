// What the extraction tests of both systems share: signed file entries and a
// staging folder as the caller prepares it.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "core/package/package_extraction.hpp"
#include "core/release/sha256.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::core {

inline std::string digest_of(std::string_view data) {
  return sha256_hex(std::as_bytes(std::span(data)));
}

inline ManifestFile signed_file(std::string path, std::string_view data) {
  return {std::move(path), data.size(), digest_of(data)};
}

// The package next to an empty "content" folder.
class Staging {
 public:
  Staging() { std::filesystem::create_directory(content); }

  Result<void> extract(std::span<const ManifestFile> files, const CancelFlag& cancel = {}) {
    return extract_package(package, content, files, cancel);
  }

  test::TempDir dir;
  std::filesystem::path package = dir / "host.zip";
  std::filesystem::path content = dir / "content";
};

}  // namespace orvo::core
