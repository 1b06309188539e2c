#include "support/release/release_builder.hpp"

#include <utility>

#include "core/release/sha256.hpp"
#include "orvo-release/release_writer.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::test {

std::span<const std::byte> bytes_of(std::string_view text) {
  return std::as_bytes(std::span(text.data(), text.size()));
}

core::ManifestFile manifest_entry(std::string_view path, std::string_view content) {
  return core::ManifestFile{.path = std::string(path),
                            .size = content.size(),
                            .sha256 = core::sha256_hex(bytes_of(content))};
}

core::Manifest valid_manifest(std::uint64_t sequence) {
  return valid_manifest({manifest_entry("ORVO.Host.exe", "host")}, sequence);
}

core::Manifest valid_manifest(std::vector<core::ManifestFile> files, std::uint64_t sequence) {
  return core::Manifest{
      .schema_version = 1,
      .version = "1.0." + std::to_string(sequence),
      .sequence = sequence,
      .target = "win-x64",
      .package_url = std::string(kTestPackageUrl),
      .package_sha256 = core::sha256_hex(bytes_of("package")),
      .package_size = 1000,
      .files = std::move(files),
  };
}

core::Manifest manifest_of(std::span<const ReleaseFile> files, std::uint64_t sequence) {
  std::vector<core::ManifestFile> entries;
  for (const ReleaseFile& file : files) entries.push_back(manifest_entry(file.path, file.content));
  return valid_manifest(std::move(entries), sequence);
}

ReleaseSigner::ReleaseSigner() : key_(release_tool::SigningKey::generate().value()) {}
ReleaseSigner::ReleaseSigner(release_tool::SigningKey key) : key_(std::move(key)) {}

std::string ReleaseSigner::signature_hex(std::string_view payload) const {
  return core::lower_hex(key_.sign(bytes_of(payload)));
}

std::string ReleaseSigner::envelope(std::string_view payload) const {
  return release_tool::envelope_json(bytes_of(payload), key_);
}

std::string ReleaseSigner::envelope(const core::Manifest& manifest) const {
  return envelope(release_tool::manifest_json(manifest));
}

void write_release_folder(const std::filesystem::path& folder, std::span<const ReleaseFile> files) {
  for (const ReleaseFile& file : files) {
    const std::filesystem::path target = folder / file.path;
    std::filesystem::create_directories(target.parent_path());
    write_file(target, file.content);
    if (file.path == "ORVO.Host.exe") {
      std::filesystem::permissions(target, std::filesystem::perms::owner_exec,
                                   std::filesystem::perm_options::add);
    }
  }
}

core::Result<release_tool::PackedRelease> build_release(const ReleaseSigner& signer,
                                                        const std::filesystem::path& work_dir,
                                                        std::span<const ReleaseFile> files,
                                                        const ReleaseSettings& settings) {
  const std::filesystem::path folder = work_dir / "release";
  write_release_folder(folder, files);
  return release_tool::pack_release(
      release_tool::PackRequest{
          .folder = folder,
          .out_dir = work_dir / "out",
          .sequence = settings.sequence,
          .version = settings.version.empty() ? "1.0." + std::to_string(settings.sequence)
                                              : settings.version,
          .package_url = settings.package_url,
          .allow_loopback_http = settings.allow_loopback_http,
      },
      signer.key());
}

}  // namespace orvo::test
