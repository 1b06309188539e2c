#include "core/cache/installed_files.hpp"

#include <memory>
#include <optional>
#include <utility>

#include "core/cache/launcher_files.hpp"
#include "core/cache/plain_files.hpp"
#include "core/release/sha256.hpp"
#include "platform/path_text.hpp"

namespace orvo::core {
namespace {

constexpr std::size_t kReadPiece = 65536;

// The path below root as its names joined by '/', or nullopt when a name is not
// text. A '\' inside a POSIX name stays part of that name, so that a file at one
// level cannot pass for a signed file in a sub-folder.
std::optional<std::string> relative_text(const std::filesystem::path& root,
                                         const std::filesystem::path& path) {
  std::size_t skip = 0;
  for (const auto& element : root) {
    if (!element.empty()) ++skip;
  }
  std::string text;
  for (const auto& element : path) {
    if (element.empty()) continue;
    if (skip > 0) {
      --skip;
      continue;
    }
    auto name = platform::path_utf8(element);
    if (!name) return std::nullopt;
    if (!text.empty()) text += '/';
    text += *name;
  }
  return text;
}

bool is_launcher_file(std::string_view relative) {
  return relative == kManifestFileName || relative == kWorkingMarkerName;
}

Result<void> check_file(const std::filesystem::path& path, const std::string& relative,
                        std::uint64_t size_on_disk, const SignedFiles& signed_files,
                        SeenFiles& seen, const CancelFlag& cancel) {
  const auto signed_file = signed_files.find(relative);
  if (signed_file == signed_files.end()) return fail("Unexpected installed file: " + relative);
  const ManifestFile& expected = *signed_file->second;
  // Cheap before expensive: a file of the wrong size is never read.
  if (size_on_disk != expected.size) return fail("Installed file has changed: " + relative);
  auto hashed = hash_file(path, cancel);
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
  if (auto walked = walk_installed_files(folder, folder, signed_files, seen, cancel); !walked) {
    return walked;
  }
  // Every accepted file is signed and accepted once, so a shortfall is a missing file.
  if (seen.size() != signed_files.size()) return fail("An installed file is missing");
  return {};
}

Result<void> walk_installed_files(const std::filesystem::path& root,
                                  const std::filesystem::path& folder,
                                  const SignedFiles& signed_files, SeenFiles& seen,
                                  const CancelFlag& cancel) {
  if (cancel.is_set()) return fail(cancelled_error());
  const auto folder_text = relative_text(root, folder);
  if (!folder_text) return fail("Invalid installed path");
  auto entries = platform::list_folder(folder);
  if (!entries) return fail(std::move(entries).error());
  for (auto& entry : *entries) {
    if (cancel.is_set()) return fail(cancelled_error());
    if (!entry.name) return fail(std::move(entry.name).error());
    const std::filesystem::path path = folder / *entry.name;
    auto attributes = platform::entry_attributes(path);
    if (!attributes) return fail(std::move(attributes).error());
    if (attributes->is_reparse_point()) return fail("Installed files contain a link");
    const auto name = platform::path_utf8(*entry.name);
    if (!name) return fail("Invalid installed path");
    const std::string relative = folder_text->empty() ? *name : *folder_text + '/' + *name;
    if (attributes->is_directory()) {
      if (!is_signed_folder(signed_files, relative)) {
        return fail("Unexpected installed folder: " + relative);
      }
      if (auto walked = walk_installed_files(root, path, signed_files, seen, cancel); !walked) {
        return walked;
      }
      continue;
    }
    if (is_launcher_file(relative)) continue;
    if (auto checked = check_file(path, relative, attributes->size, signed_files, seen, cancel);
        !checked) {
      return checked;
    }
  }
  return {};
}

Result<HashedFile> hash_file(const std::filesystem::path& path, const CancelFlag& cancel) {
  auto attributes = require_regular_file(path);
  if (!attributes) return fail(std::move(attributes).error());
  const std::uint64_t size = attributes->size;
  if (size > kMaxHashedFileBytes) return fail("File exceeds the size limit");
  auto file = open_regular_file(path);
  if (!file) return fail(std::move(file).error());

  Sha256 hash;
  const auto buffer = std::make_unique_for_overwrite<std::byte[]>(kReadPiece);
  std::uint64_t total = 0;
  for (;;) {
    if (cancel.is_set()) return fail(cancelled_error());
    auto count = file->read(std::span(buffer.get(), kReadPiece));
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

}  // namespace orvo::core
