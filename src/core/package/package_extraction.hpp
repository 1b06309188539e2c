// Turns a release package, a ZIP archive, into a folder that holds exactly the
// signed files: every entry must be a plain folder or file with a safe name,
// every folder an ancestor of a signed file, every file a signed file of its
// signed size, re-read from disk after writing and matching its signed digest.
// Nothing outside the destination folder is created or changed; after a
// failure whatever was made inside it stays for the caller to discard.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "base/cancel_flag.hpp"
#include "base/error.hpp"
#include "core/release/manifest.hpp"

namespace orvo::core {

// Archives with more entries are refused before anything is created.
inline constexpr std::uint64_t kMaxArchiveEntries = 20'000;

Result<void> extract_package(const std::filesystem::path& package,
                             const std::filesystem::path& destination,
                             std::span<const ManifestFile> files, const CancelFlag& cancel);
// The same with another entry limit, so that a test can reach the limit with a
// small archive.
Result<void> extract_package(const std::filesystem::path& package,
                             const std::filesystem::path& destination,
                             std::span<const ManifestFile> files, const CancelFlag& cancel,
                             std::uint64_t max_entries);

}  // namespace orvo::core
