#include "orvo-release/package_zip.hpp"

#include <zip.h>

#include <memory>
#include <string>
#include <system_error>

#include "platform/path_text.hpp"

namespace orvo::release_tool {
namespace {

struct ZipDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};

constexpr zip_uint32_t kRegularFile = 0100000;

// libzip takes file names as UTF-8 on Windows and as they are elsewhere.
std::string native_name(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

std::string zip_error_text(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

}  // namespace

core::Result<void> write_package_zip(const std::filesystem::path& folder,
                                     std::span<const core::ManifestFile> files,
                                     const std::filesystem::path& zip_path) {
  const std::string shown = platform::path_display(zip_path);
  int code = 0;
  std::unique_ptr<zip_t, ZipDiscard> archive(
      zip_open(native_name(zip_path).c_str(), ZIP_CREATE | ZIP_EXCL, &code));
  if (!archive) return core::fail("cannot create " + shown + ": " + zip_error_text(code));

  for (const core::ManifestFile& file : files) {
    const std::filesystem::path source = folder / file.path;
    zip_source_t* data = zip_source_file(archive.get(), native_name(source).c_str(), 0, -1);
    if (data == nullptr) {
      return core::fail("cannot add " + file.path + ": " + zip_strerror(archive.get()));
    }
    const zip_int64_t index =
        zip_file_add(archive.get(), file.path.c_str(), data, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(data);
      return core::fail("cannot add " + file.path + ": " + zip_strerror(archive.get()));
    }
    // Executable bits travel with the file, so the host stays runnable where that matters.
    std::error_code error;
    const auto perms = std::filesystem::status(source, error).permissions();
    const bool executable =
        !error && (perms & std::filesystem::perms::owner_exec) != std::filesystem::perms::none;
    const zip_uint32_t mode = kRegularFile | (executable ? 0755 : 0644);
    const auto entry = static_cast<zip_uint64_t>(index);
    if (zip_set_file_compression(archive.get(), entry, ZIP_CM_DEFLATE, 0) != 0 ||
        zip_file_set_external_attributes(archive.get(), entry, 0, ZIP_OPSYS_UNIX, mode << 16) !=
            0) {
      return core::fail("cannot add " + file.path + ": " + zip_strerror(archive.get()));
    }
  }
  // The entries' data is read and compressed only now.
  if (zip_close(archive.get()) != 0) {
    return core::fail("cannot write " + shown + ": " + zip_strerror(archive.get()));
  }
  archive.release();  // closed
  return {};
}

}  // namespace orvo::release_tool
