// Whether a folder holds exactly the files a signed release lists, each with
// its signed size and SHA-256, nothing else but the launcher's own two files at
// its root, and no link anywhere. The checks only read; they never change the disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "base/cancel_flag.hpp"
#include "base/error.hpp"
#include "core/release/manifest.hpp"
#include "platform/folder_handle.hpp"
#include "platform/fs.hpp"

namespace orvo::core {

// Files larger than this are refused before they are opened.
inline constexpr std::uint64_t kMaxHashedFileBytes = 0x40000000;

struct HashedFile {
  std::uint64_t size = 0;
  std::string sha256;  // 64 lower-case hexadecimal digits
};

// The signed files by exact (case-sensitive) path; the entries are borrowed
// from the signed list.
using SignedFiles = std::map<std::string_view, const ManifestFile*, std::less<>>;
// Whether some signed path lies below the folder with this '/'-separated path
// (a byte-wise, case-sensitive prefix test).
bool is_signed_folder(const SignedFiles& signed_files, std::string_view folder);

// Relative paths of the files that have passed every check.
using SeenFiles = std::set<std::string, std::less<>>;

// Succeeds when the folder holds exactly the signed files and the launcher's files.
Result<void> verify_installed_files(const std::filesystem::path& folder,
                                    std::span<const ManifestFile> files, const CancelFlag& cancel);

// Checks the entries of an open folder whose path below the checked folder is
// relative ("" for the checked folder itself), depth first, and adds every
// accepted file to seen. Sub-folders and files are opened through the folder
// they were listed in, so none is reached through a link swapped in meanwhile.
Result<void> walk_installed_files(const platform::FolderHandle& folder, std::string_view relative,
                                  const SignedFiles& signed_files, SeenFiles& seen,
                                  const CancelFlag& cancel);

// The size and SHA-256 of a plain file of at most 1 GiB, read in one pass.
// "File changed while checking it" when the bytes read disagree with the size.
Result<HashedFile> hash_file(const std::filesystem::path& path, const CancelFlag& cancel);

}  // namespace orvo::core
