#include "orvo-release/file_io.hpp"

#include <array>
#include <span>
#include <system_error>

#include "platform/fs.hpp"
#include "platform/path_text.hpp"

namespace orvo::release_tool {

Result<std::string> read_file_limited(const std::filesystem::path& path, std::size_t limit) {
  auto file = platform::File::open_read(path);
  if (!file) return core::fail(std::move(file).error().wrap("cannot open " + platform::path_display(path)));
  std::string bytes;
  std::array<std::byte, 65536> buffer;
  while (bytes.size() <= limit) {
    const std::size_t wanted = std::min(buffer.size(), limit + 1 - bytes.size());
    auto count = file->read(std::span(buffer).first(wanted));
    if (!count) return core::fail(std::move(count).error().wrap("cannot read " + platform::path_display(path)));
    if (*count == 0) break;
    bytes.append(reinterpret_cast<const char*>(buffer.data()), *count);
  }
  return bytes;
}

Result<void> write_new_file(const std::filesystem::path& path, std::string_view bytes,
                            FileAccess access) {
  const std::string shown = platform::path_display(path);
  auto file = platform::File::create_new(path);
  if (!file) return core::fail(std::move(file).error().wrap("cannot create " + shown));
  if (access == FileAccess::OwnerOnly) {
    // Taken away before a secret byte is written.
    std::error_code error;
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::replace, error);
    if (error) return core::fail("cannot restrict access to " + shown + ": " + error.message());
  }
  auto written = file->write_all(std::as_bytes(std::span(bytes.data(), bytes.size())));
  if (written) written = file->sync();
  if (written) written = file->close();
  if (!written) return core::fail(std::move(written).error().wrap("cannot write " + shown));
  return {};
}

}  // namespace orvo::release_tool
