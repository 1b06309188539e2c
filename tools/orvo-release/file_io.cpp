#include "orvo-release/file_io.hpp"

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <span>
#include <system_error>

#include "core/release/sha256.hpp"
#include "platform/fs.hpp"
#include "platform/path_text.hpp"

namespace orvo::release_tool {
namespace {

using Consumer = std::function<void(std::span<const std::byte>)>;

// Hands the file's bytes, at most limit of them, to consume piece by piece.
Result<void> read_pieces(const std::filesystem::path& path, std::size_t limit,
                         const Consumer& consume) {
  const std::string shown = platform::path_display(path);
  auto file = platform::File::open_read(path);
  if (!file) return core::fail(std::move(file).error().wrap("cannot open " + shown));
  std::array<std::byte, 65536> buffer;
  while (limit > 0) {
    auto count = file->read(std::span(buffer).first(std::min(buffer.size(), limit)));
    if (!count) return core::fail(std::move(count).error().wrap("cannot read " + shown));
    if (*count == 0) break;
    consume(std::span(buffer).first(*count));
    limit -= *count;
  }
  return {};
}

}  // namespace

Result<std::string> read_file_limited(const std::filesystem::path& path, std::size_t limit) {
  std::string bytes;
  auto read = read_pieces(path, limit + 1, [&bytes](std::span<const std::byte> piece) {
    bytes.append(reinterpret_cast<const char*>(piece.data()), piece.size());
  });
  if (!read) return core::fail(std::move(read).error());
  return bytes;
}

Result<FileDigest> digest_file(const std::filesystem::path& path) {
  FileDigest digest;
  core::Sha256 hash;
  auto read = read_pieces(path, std::numeric_limits<std::size_t>::max(),
                          [&](std::span<const std::byte> piece) {
                            hash.update(piece);
                            digest.size += piece.size();
                          });
  if (!read) return core::fail(std::move(read).error());
  digest.sha256 = hash.finish_hex();
  return digest;
}

Result<void> write_new_file(const std::filesystem::path& path, std::string_view bytes,
                            FileAccess access) {
  const std::string shown = platform::path_display(path);
  auto file = platform::File::create_new(path);
  if (!file) return core::fail(std::move(file).error().wrap("cannot create " + shown));
  if (access == FileAccess::OwnerOnly) {
    // Taken away before a secret byte is written.
    std::error_code error;
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
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
