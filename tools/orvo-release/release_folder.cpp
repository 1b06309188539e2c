#include "orvo-release/release_folder.hpp"

#include <algorithm>
#include <system_error>

#include "orvo-release/file_io.hpp"
#include "platform/path_text.hpp"

namespace orvo::release_tool {

Result<std::vector<core::ManifestFile>> list_release_folder(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  const std::string shown = platform::path_display(folder);
  std::error_code error;
  if (!fs::is_directory(fs::symlink_status(folder, error))) {
    return core::fail(shown + " is not a folder");
  }
  std::vector<core::ManifestFile> files;
  fs::recursive_directory_iterator it(folder, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path relative = it->path().lexically_relative(folder);
    const fs::file_status status = it->symlink_status(error);
    if (error) break;
    if (fs::is_directory(status)) continue;
    const std::string name = platform::path_display(relative.generic_string());
    if (!fs::is_regular_file(status)) {
      return core::fail(name + " in " + shown + " is a link or special file");
    }
    auto text = platform::path_utf8(relative);
    if (!text) return core::fail(name + " in " + shown + " has a name that is not valid text");
    const std::uintmax_t size = it->file_size(error);
    if (error) break;
    files.push_back(
        core::ManifestFile{.path = fs::path(*text).generic_string(), .size = size, .sha256 = {}});
  }
  if (error) return core::fail("cannot list " + shown + ": " + error.message());
  std::ranges::sort(files, {}, &core::ManifestFile::path);
  return files;
}

Result<void> digest_release_files(const std::filesystem::path& folder,
                                  std::vector<core::ManifestFile>& files) {
  for (core::ManifestFile& file : files) {
    auto digest = digest_file(folder / file.path);
    if (!digest) return core::fail(std::move(digest).error());
    if (digest->size != file.size) return core::fail(file.path + " changed while it was packed");
    file.sha256 = std::move(digest->sha256);
  }
  return {};
}

}  // namespace orvo::release_tool
