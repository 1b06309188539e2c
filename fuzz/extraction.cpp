// Any bytes as a release package, extracted into a fresh folder against a file
// list made from the archive's own entries (each entry's name with the size and
// digest of its data, as far as the manifest rules allow), so that the deep
// paths of extraction are reached. After each run nothing may exist outside
// the destination but the package itself, and nothing inside it but plain
// folders and files.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/cancel_flag.hpp"
#include "core/package/package_extraction.hpp"
#include "core/package/zip_reader.hpp"
#include "core/release/sha256.hpp"
#include "core/release/verify_release.hpp"
#include "platform/fs.hpp"
#include "platform/random_access_file.hpp"
#include "support/fuzz_checks.hpp"

namespace fs = std::filesystem;
using orvo::core::ManifestFile;

namespace {

// Larger entries are listed with their declared size and never read here.
constexpr std::uint64_t kMaxEntryBytes = 1 << 20;
constexpr std::uint64_t kMaxListedEntries = 64;

// The destination lies two folders deep in the sandbox, and the process works
// in its parent, so that a relative or "../" write still lands in the sandbox.
struct Sandbox {
  fs::path root;
  fs::path work;
  fs::path package;
  fs::path destination;

  Sandbox() {
    const char* base = std::getenv("ORVO_FUZZ_DIR");
    root = fs::path(base != nullptr ? base : "/dev/shm") /
           ("orvo-fuzz-extraction-" + std::to_string(getpid()));
    work = root / "a" / "b";
    package = work / "host.zip";
    destination = work / "content";
    fs::remove_all(root);
    fs::create_directories(work);
    fs::current_path(work);
  }
  ~Sandbox() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
};

Sandbox& sandbox() {
  static Sandbox made;
  return made;
}

std::string entry_digest(const orvo::core::ZipReader& reader, std::uint64_t index,
                         std::uint64_t declared) {
  orvo::core::Sha256 digest;
  if (declared <= kMaxEntryBytes) {
    if (auto data = reader.open_entry(index)) {
      std::vector<std::byte> buffer(65'536);
      for (;;) {
        auto count = data->read(buffer);
        if (!count || *count == 0) break;
        digest.update(std::span(buffer).first(*count));
      }
    }
  }
  return digest.finish_hex();
}

// A manifest holding the files; a placeholder host entry stands in when the
// archive has none, so that the other rules can be judged.
bool passes_manifest_rules(const std::vector<ManifestFile>& files) {
  orvo::core::Manifest manifest;
  manifest.schema_version = 1;
  manifest.version = "1.0";
  manifest.sequence = 1;
  manifest.target = "win-x64";
  manifest.package_url = "https://downloads.example.com/host.zip";
  manifest.package_sha256 = std::string(64, '0');
  manifest.package_size = 1;
  manifest.files = files;
  if (!orvo::core::has_host_executable(manifest.files)) {
    manifest.files.push_back({"ORVO.Host.exe", 0, std::string(64, '0')});
  }
  return orvo::core::check_manifest(manifest, false).has_value();
}

std::vector<ManifestFile> files_of_archive(const fs::path& package) {
  std::vector<ManifestFile> files;
  auto opened = orvo::platform::RandomAccessFile::open(package);
  if (!opened) return files;
  auto reader = orvo::core::ZipReader::open(std::move(*opened));
  if (!reader) return files;
  const std::uint64_t count = reader->entry_count();
  for (std::uint64_t index = 0; index < count && index < kMaxListedEntries; ++index) {
    auto entry = reader->entry(index);
    if (!entry || entry->name.empty() || entry->name.back() == '/') continue;
    files.push_back({entry->name, entry->size, entry_digest(*reader, index, entry->size)});
    if (!passes_manifest_rules(files)) files.pop_back();
  }
  return files;
}

void check_nothing_outside(const Sandbox& box) {
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(box.root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path& path = it->path();
    if (path == box.root / "a" || path == box.work || path == box.package) continue;
    const auto relative = path.lexically_relative(box.destination);
    if (relative.empty() || *relative.begin() == "..") {
      orvo::fuzz::property_failed("extraction wrote outside the destination", path.string());
    }
    const auto status = fs::symlink_status(path);
    if (!fs::is_regular_file(status) && !fs::is_directory(status)) {
      orvo::fuzz::property_failed("extraction made something other than a folder or file",
                                  path.string());
    }
  }
  if (error) orvo::fuzz::property_failed("the sandbox cannot be listed", error.message());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Sandbox& box = sandbox();
  orvo::platform::remove_tree(box.destination);
  {
    auto file = orvo::platform::File::create_new(box.package, orvo::platform::FileMode::Regular);
    if (!file || !file->write_all(std::as_bytes(std::span(data, size))) || !file->close()) {
      orvo::fuzz::property_failed("the package cannot be written");
    }
  }
  const auto files = files_of_archive(box.package);
  if (!orvo::platform::create_folder(box.destination)) {
    orvo::fuzz::property_failed("the destination cannot be made");
  }
  (void)orvo::core::extract_package(box.package, box.destination, files, orvo::core::CancelFlag{});
  check_nothing_outside(box);
  orvo::platform::remove_tree(box.destination);
  (void)orvo::platform::remove_file(box.package);
  return 0;
}
