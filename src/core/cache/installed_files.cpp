#include "core/cache/installed_files.hpp"

#include <memory>
#include <utility>

#include "core/cache/launcher_files.hpp"
#include "core/cache/plain_files.hpp"
#include "core/release/sha256.hpp"
#include "platform/path_text.hpp"

namespace orvo::core {
namespace {

constexpr std::size_t kReadPiece = 65536;

bool is_launcher_file(std::string_view relative) {
  return relative == kManifestFileName || relative == kWorkingMarkerName;
}

// The hash of bytes read from an open file whose size was taken before.
Result<HashedFile> hash_open_file(platform::File& file, std::uint64_t size,
                                  const CancelFlag& cancel) {
  Sha256 hash;
  const auto buffer = std::make_unique_for_overwrite<std::byte[]>(kReadPiece);
  std::uint64_t total = 0;
  for (;;) {
    if (cancel.is_set()) return fail(cancelled_error());
    auto count = file.read(std::span(buffer.get(), kReadPiece));
    if (!count) return fail(std::move(count).error());
    if (*count == 0) break;
    // More bytes than the size said: the file grew, and these bytes stay out of the digest.
    if (*count > size - total) return fail("File changed while checking it");
    total += *count;
    hash.update(std::span<const std::byte>(buffer.get(), *count));
  }
  if (total != size) return fail("File changed while checking it");
  return HashedFile{size, hash.finish_hex()};
}

// hash_file for the entry name of an open folder, whose attributes were read through it.
Result<HashedFile> hash_file_in(const platform::FolderHandle& folder,
                                const std::filesystem::path& name,
                                const platform::EntryAttributes& attributes,
                                const CancelFlag& cancel) {
  if (auto plain = require_regular_attributes(attributes, folder.path() / name); !plain) {
    return fail(std::move(plain).error());
  }
  if (attributes.size > kMaxHashedFileBytes) return fail("File exceeds the size limit");
  auto file = open_regular_file_in(folder, name);
  if (!file) return fail(std::move(file).error());
  return hash_open_file(*file, attributes.size, cancel);
}

Result<void> check_file(const platform::FolderHandle& folder, const std::filesystem::path& name,
                        const std::string& relative, const platform::EntryAttributes& attributes,
                        const SignedFiles& signed_files, SeenFiles& seen,
                        const CancelFlag& cancel) {
  const auto signed_file = signed_files.find(relative);
  if (signed_file == signed_files.end()) return fail("Unexpected installed file: " + relative);
  const ManifestFile& expected = *signed_file->second;
  // Cheap before expensive: a file of the wrong size is never read.
  if (attributes.size != expected.size) return fail("Installed file has changed: " + relative);
  auto hashed = hash_file_in(folder, name, attributes, cancel);
  if (!hashed) return fail(std::move(hashed).error());
  if (hashed->size != expected.size || hashed->sha256 != expected.sha256) {
    return fail("Installed file failed its integrity check: " + relative);
  }
  if (!seen.insert(relative).second) return fail("Duplicate installed file");
  return {};
}

}  // namespace

bool is_signed_folder(const SignedFiles& signed_files, std::string_view relative) {
  std::string prefix(relative);
  prefix += '/';
  const auto first = signed_files.lower_bound(prefix);
  return first != signed_files.end() && first->first.starts_with(prefix);
}

Result<void> verify_installed_files(const std::filesystem::path& folder,
                                    std::span<const ManifestFile> files, const CancelFlag& cancel) {
  if (auto plain = require_plain_folder(folder); !plain) return plain;
  SignedFiles signed_files;
  for (const ManifestFile& file : files) signed_files.emplace(file.path, &file);
  SeenFiles seen;
  // A cancelled check opens nothing.
  if (cancel.is_set()) return fail(cancelled_error());
  auto root = platform::FolderHandle::open(folder);
  if (!root) return fail(std::move(root).error());
  if (auto walked = walk_installed_files(*root, "", signed_files, seen, cancel); !walked) {
    return walked;
  }
  // Every accepted file is signed and accepted once, so a shortfall is a missing file.
  if (seen.size() != signed_files.size()) return fail("An installed file is missing");
  return {};
}

Result<void> walk_installed_files(const platform::FolderHandle& folder, std::string_view relative,
                                  const SignedFiles& signed_files, SeenFiles& seen,
                                  const CancelFlag& cancel) {
  if (cancel.is_set()) return fail(cancelled_error());
  auto entries = folder.list();
  if (!entries) return fail(std::move(entries).error());
  for (auto& entry : *entries) {
    if (cancel.is_set()) return fail(cancelled_error());
    if (!entry.name) return fail(std::move(entry.name).error());
    auto attributes = folder.entry_attributes(*entry.name);
    if (!attributes) return fail(std::move(attributes).error());
    if (attributes->is_reparse_point()) return fail("Installed files contain a link");
    const auto name = platform::path_utf8(*entry.name);
    if (!name) return fail("Invalid installed path");
    const std::string entry_relative =
        relative.empty() ? *name : std::string(relative) + '/' + *name;
    if (attributes->is_directory()) {
      if (!is_signed_folder(signed_files, entry_relative)) {
        return fail("Unexpected installed folder: " + entry_relative);
      }
      auto sub_folder = folder.open_folder(*entry.name);
      if (!sub_folder) return fail(std::move(sub_folder).error());
      if (auto walked = walk_installed_files(*sub_folder, entry_relative, signed_files, seen, cancel);
          !walked) {
        return walked;
      }
      continue;
    }
    if (is_launcher_file(entry_relative)) continue;
    if (auto checked = check_file(folder, *entry.name, entry_relative, *attributes, signed_files,
                                  seen, cancel);
        !checked) {
      return checked;
    }
  }
  return {};
}

Result<HashedFile> hash_file(const std::filesystem::path& path, const CancelFlag& cancel) {
  auto attributes = require_regular_file(path);
  if (!attributes) return fail(std::move(attributes).error());
  if (attributes->size > kMaxHashedFileBytes) return fail("File exceeds the size limit");
  auto file = open_regular_file(path);
  if (!file) return fail(std::move(file).error());
  return hash_open_file(*file, attributes->size, cancel);
}

}  // namespace orvo::core
