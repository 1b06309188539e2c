#include "core/cache/plain_files.hpp"

#include <limits>
#include <memory>
#include <utility>

#include "platform/path_text.hpp"

namespace orvo::core {
namespace {

constexpr std::size_t kReadPiece = 65536;

bool is_plain_file(const platform::EntryAttributes& attributes) {
  return !attributes.is_directory() && !attributes.is_reparse_point() && attributes.regular;
}

std::unexpected<Error> not_plain_file(const std::filesystem::path& path) {
  return fail("File is a link or is not a regular file: " + platform::path_display(path));
}

}  // namespace

Result<platform::EntryAttributes> require_regular_file(const std::filesystem::path& path) {
  auto attributes = platform::entry_attributes(path);
  if (!attributes) return fail(std::move(attributes).error());
  if (!is_plain_file(*attributes)) return not_plain_file(path);
  return *attributes;
}

Result<platform::File> open_regular_file(const std::filesystem::path& path) {
  auto file = platform::File::open_read_entry(path);
  if (!file) return fail(std::move(file).error());
  auto attributes = file->attributes();
  if (!attributes) return fail(std::move(attributes).error());
  if (!is_plain_file(*attributes)) return not_plain_file(path);
  return std::move(*file);
}

Result<void> require_plain_folder(const std::filesystem::path& folder) {
  auto attributes = platform::entry_attributes(folder);
  if (!attributes) return fail(std::move(attributes).error());
  if (attributes->is_directory() && !attributes->is_reparse_point()) return {};
  return fail("Folder is a link or is not a directory: " + platform::path_display(folder));
}

Result<std::vector<std::byte>> read_file_limited(const std::filesystem::path& path, std::uint64_t limit) {
  auto attributes = require_regular_file(path);
  if (!attributes) return fail(std::move(attributes).error());
  if (attributes->size > limit) return fail("Cached metadata is too large");
  auto file = open_regular_file(path);
  if (!file) return fail(std::move(file).error());

  std::vector<std::byte> bytes;
  const auto buffer = std::make_unique_for_overwrite<std::byte[]>(kReadPiece);
  std::uint64_t total = 0;
  for (;;) {
    auto count = file->read(std::span(buffer.get(), kReadPiece));
    if (!count) return fail(std::move(count).error());
    if (*count == 0) return bytes;
    if (*count > std::numeric_limits<std::uint64_t>::max() - total) {
      return fail("Read size overflow");
    }
    total += *count;
    // The file grew after its size was taken: the result never holds more than the limit.
    if (total > limit) return fail("Input exceeds the allowed size");
    bytes.insert(bytes.end(), buffer.get(), buffer.get() + *count);
  }
}

Result<void> write_file_synced(const std::filesystem::path& path, std::span<const std::byte> bytes) {
  // Written unnamed and named once whole: a launcher that is killed, or a disk that
  // fills, never leaves a cut-short marker or envelope, which would stay for good.
  auto file = platform::File::create_unnamed(path.parent_path());
  if (!file) return fail(std::move(file).error());
  if (auto written = file->write_all(bytes); !written) return written;
  if (auto synced = file->sync(); !synced) return synced;
  if (auto linked = file->link_as(path); !linked) return linked;
  return file->close();
}

}  // namespace orvo::core
