#include "support/release/version_folder.hpp"

#include "support/fs/temp_dir.hpp"

namespace orvo::test {

void write_version_folder(const std::filesystem::path& folder, std::span<const ReleaseFile> files,
                          const std::string& envelope, const std::optional<std::string>& marker) {
  write_release_folder(folder, files);
  write_file(folder / ".orvo-manifest.json", envelope);
  if (marker) write_file(folder / ".orvo-working", *marker);
}

}  // namespace orvo::test
