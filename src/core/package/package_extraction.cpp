#include "core/package/package_extraction.hpp"

#include <cstddef>
#include <limits>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/cache/installed_files.hpp"
#include "core/package/zip_entry_kind.hpp"
#include "core/package/zip_reader.hpp"
#include "core/release/package_path.hpp"
#include "core/text/ascii_case.hpp"
#include "platform/fs.hpp"
#include "platform/path_text.hpp"
#include "platform/random_access_file.hpp"

namespace orvo::core {
namespace {

constexpr std::size_t kCopyBufferBytes = 65'536;
// A large file is flushed to disk piece by piece while it is written: one flush
// of it all at the end could take longer than a cancellation may wait.
constexpr std::uint64_t kSyncBytes = 8 * 1024 * 1024;

struct Extraction {
  const std::filesystem::path& destination;
  const CancelFlag& cancel;
  SignedFiles signed_files;
  std::set<std::string> seen_names;
  std::set<std::string> extracted_files;
};

Result<void> extract_folder(Extraction& extraction, const std::string& name,
                            const ZipEntryInfo& entry) {
  if (entry.size != 0) return fail("Archive directory contains unexpected data");
  if (!is_signed_folder(extraction.signed_files, name)) return fail("Unlisted archive directory");
  return platform::create_folders(extraction.destination / platform::path_from_utf8(name));
}

// Streams the entry's data into the new file, never writing a byte past the
// signed size whatever the archive declared.
Result<void> copy_data(Extraction& extraction, ZipEntryReader& data, platform::File& target,
                       std::uint64_t signed_size) {
  std::vector<std::byte> buffer(kCopyBufferBytes);
  std::uint64_t total = 0;
  std::uint64_t unsynced = 0;
  for (;;) {
    if (extraction.cancel.is_set()) return fail(cancelled_error());
    auto count = data.read(buffer);
    if (!count) return fail(std::move(count).error());
    if (*count == 0) break;
    if (*count > std::numeric_limits<std::uint64_t>::max() - total) {
      return fail("Read size overflow");
    }
    total += *count;
    if (total > signed_size) return fail("Input exceeds the allowed size");
    if (auto written = target.write_all(std::span(buffer).first(*count)); !written) return written;
    unsynced += *count;
    if (unsynced >= kSyncBytes) {
      if (auto synced = target.sync(); !synced) return synced;
      unsynced = 0;
    }
  }
  if (total != signed_size) return fail("Archive file is truncated");
  return {};
}

Result<void> extract_file(Extraction& extraction, const std::string& name,
                          const ZipEntryInfo& entry, ZipEntryReader& data) {
  const auto found = extraction.signed_files.find(name);
  if (found == extraction.signed_files.end()) return fail("Unlisted archive file: " + name);
  const ManifestFile& signed_file = *found->second;
  if (entry.size != signed_file.size) return fail("Archive file size differs from signed release");

  const std::filesystem::path target_path =
      extraction.destination / platform::path_from_utf8(name);
  if (auto made = platform::create_folders(target_path.parent_path()); !made) return made;
  // The file a version folder is started from is the only one that must be executable.
  const auto mode =
      name == kHostExecutableName ? platform::FileMode::Executable : platform::FileMode::Regular;
  auto target = platform::File::create_new(target_path, mode);
  if (!target) return fail(std::move(target).error());
  if (auto copied = copy_data(extraction, data, *target, signed_file.size); !copied) return copied;
  if (auto synced = target->sync(); !synced) return synced;
  if (auto closed = target->close(); !closed) return closed;

  auto hashed = hash_file(target_path, extraction.cancel);
  if (!hashed) return fail(std::move(hashed).error());
  if (hashed->sha256 != signed_file.sha256) {
    return fail("Extracted file failed its integrity check");
  }
  extraction.extracted_files.insert(name);
  return {};
}

Result<void> extract_entry(Extraction& extraction, const ZipReader& archive, std::uint64_t index) {
  if (extraction.cancel.is_set()) return fail(cancelled_error());
  auto data = archive.open_entry(index);
  if (!data) return fail(std::move(data).error());
  auto entry = archive.entry(index);
  if (!entry) return fail(std::move(entry).error());

  std::string name = entry->name;
  if (name.ends_with('\\')) return fail("Invalid archive folder");
  const bool folder = name.ends_with('/');
  if (folder) name.pop_back();

  if (auto checked = check_package_path(name); !checked) return checked;
  if (!extraction.seen_names.insert(ascii_lower(name)).second) {
    return fail("Archive contains duplicate paths");
  }
  const ZipEntryKind kind = zip_entry_kind(entry->host_system, entry->external_attributes);
  const ZipEntryKind named = folder ? ZipEntryKind::Folder : ZipEntryKind::RegularFile;
  if (kind != ZipEntryKind::Unstated && kind != named) {
    return fail("Archive contains a link or special file");
  }
  return folder ? extract_folder(extraction, name, *entry)
                : extract_file(extraction, name, *entry, *data);
}

}  // namespace

Result<void> extract_package(const std::filesystem::path& package,
                             const std::filesystem::path& destination,
                             std::span<const ManifestFile> files, const CancelFlag& cancel) {
  return extract_package(package, destination, files, cancel, kMaxArchiveEntries);
}

Result<void> extract_package(const std::filesystem::path& package,
                             const std::filesystem::path& destination,
                             std::span<const ManifestFile> files, const CancelFlag& cancel,
                             std::uint64_t max_entries) {
  auto file = platform::RandomAccessFile::open(package);
  if (!file) return fail(std::move(file).error());
  auto archive = ZipReader::open(std::move(*file));
  if (!archive) return fail(std::move(archive).error().wrap("Invalid Host ZIP archive"));

  const std::uint64_t entry_count = archive->entry_count();
  if (entry_count > max_entries) return fail("Archive contains too many entries");

  Extraction extraction{destination, cancel, {}, {}, {}};
  for (const ManifestFile& signed_file : files) {
    extraction.signed_files.emplace(signed_file.path, &signed_file);
  }
  for (std::uint64_t index = 0; index < entry_count; ++index) {
    if (auto extracted = extract_entry(extraction, *archive, index); !extracted) return extracted;
  }
  if (extraction.extracted_files.size() < extraction.signed_files.size()) {
    return fail("Archive is missing signed files");
  }
  return {};
}

}  // namespace orvo::core
