#include "orvo-release/pack_release.hpp"

#include <utility>

#include "core/release/verify_release.hpp"
#include "orvo-release/file_io.hpp"
#include "orvo-release/package_zip.hpp"
#include "orvo-release/release_folder.hpp"
#include "orvo-release/release_writer.hpp"
#include "orvo-release/windows_names.hpp"
#include "platform/fs.hpp"

namespace orvo::release_tool {
namespace {

constexpr std::string_view kRefused = "the launcher would refuse this release";

// Stands in for digests and the package until they are known, so that the
// launcher's rules can judge the rest first.
const std::string kPendingDigest(64, '0');

Result<void> check(const core::Manifest& manifest, bool allow_loopback_http) {
  auto checked = core::check_manifest(manifest, allow_loopback_http);
  if (!checked) return core::fail(std::move(checked).error().wrap(std::string(kRefused)));
  return {};
}

// Removes the package again when the release cannot be finished.
struct PackageGuard {
  std::filesystem::path path;
  bool keep = false;
  ~PackageGuard() {
    if (!keep) (void)platform::remove_file(path);
  }
};

}  // namespace

Result<PackedRelease> pack_release(const PackRequest& request, const SigningKey& key) {
  auto files = list_release_folder(request.folder);
  if (!files) return core::fail(std::move(files).error());
  core::Manifest manifest{
      .schema_version = 1,
      .version = request.version,
      .sequence = request.sequence,
      .target = "win-x64",
      .package_url = request.package_url,
      .package_sha256 = kPendingDigest,
      .package_size = 1,
      .files = std::move(*files),
  };
  for (core::ManifestFile& file : manifest.files) file.sha256 = kPendingDigest;
  if (auto checked = check(manifest, request.allow_loopback_http); !checked)
    return core::fail(checked.error());
  if (auto installable = check_windows_names(manifest.files); !installable) {
    return core::fail(std::move(installable).error());
  }

  if (auto digested = digest_release_files(request.folder, manifest.files); !digested) {
    return core::fail(std::move(digested).error());
  }
  if (auto made = platform::create_folders(request.out_dir); !made) {
    return core::fail(std::move(made).error().wrap("cannot create " + request.out_dir.string()));
  }
  PackedRelease release{.manifest = {},
                        .envelope = {},
                        .package = request.out_dir / "host.zip",
                        .envelope_file = request.out_dir / "latest.json"};
  if (auto zipped = write_package_zip(request.folder, manifest.files, release.package); !zipped) {
    return core::fail(std::move(zipped).error());
  }
  PackageGuard guard{release.package};
  auto package = digest_file(release.package);
  if (!package) return core::fail(std::move(package).error());
  manifest.package_size = package->size;
  manifest.package_sha256 = package->sha256;
  if (auto checked = check(manifest, request.allow_loopback_http); !checked)
    return core::fail(checked.error());

  const std::string json = manifest_json(manifest);
  release.envelope = envelope_json(std::as_bytes(std::span(json.data(), json.size())), key);
  if (release.envelope.size() > core::kMaxEnvelopeBytes) {
    return core::fail(core::Error("the signed envelope would exceed 4,194,304 bytes")
                          .wrap(std::string(kRefused)));
  }
  if (auto written = write_new_file(release.envelope_file, release.envelope); !written) {
    return core::fail(std::move(written).error());
  }
  guard.keep = true;
  release.manifest = std::move(manifest);
  return release;
}

}  // namespace orvo::release_tool
