#include "core/package/zip_reader.hpp"

#include <zip.h>

#include <algorithm>
#include <limits>
#include <optional>

namespace orvo::core {

// The archive file as a libzip source. Reads go through the platform layer so
// that an I/O failure keeps the system's own text.
struct ZipSource {
  explicit ZipSource(platform::RandomAccessFile opened) : file(std::move(opened)) {
    zip_error_init(&error);
  }
  ZipSource(const ZipSource&) = delete;
  ZipSource& operator=(const ZipSource&) = delete;
  ~ZipSource() { zip_error_fini(&error); }

  platform::RandomAccessFile file;
  std::uint64_t position = 0;
  zip_error_t error;
  std::optional<Error> io_error;
};

namespace {

constexpr std::uint16_t kMethodStored = ZIP_CM_STORE;
constexpr std::uint16_t kMethodDeflate = ZIP_CM_DEFLATE;

constexpr const char* kPasswordRequired =
    "unsupported Zip archive: Password required to decrypt file";
constexpr const char* kMethodNotSupported =
    "unsupported Zip archive: Compression method not supported";

zip_int64_t source_read(ZipSource& source, void* data, zip_uint64_t length) {
  const auto wanted = static_cast<std::size_t>(
      std::min<zip_uint64_t>(length, std::numeric_limits<std::int32_t>::max()));
  auto count = source.file.read_at(source.position, {static_cast<std::byte*>(data), wanted});
  if (!count) {
    zip_error_set(&source.error, ZIP_ER_READ, count.error().os_code().value_or(0));
    source.io_error = std::move(count).error();
    return -1;
  }
  source.position += *count;
  return static_cast<zip_int64_t>(*count);
}

zip_int64_t source_callback(void* state, void* data, zip_uint64_t length,
                            zip_source_cmd_t command) {
  ZipSource& source = *static_cast<ZipSource*>(state);
  switch (command) {
    case ZIP_SOURCE_OPEN:
      source.position = 0;
      return 0;
    case ZIP_SOURCE_READ:
      return source_read(source, data, length);
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &source.error);
      if (stat == nullptr) return -1;
      zip_stat_init(stat);
      stat->size = source.file.size();
      stat->valid |= ZIP_STAT_SIZE;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&source.error, data, length);
    case ZIP_SOURCE_SEEK: {
      const zip_int64_t offset = zip_source_seek_compute_offset(source.position, source.file.size(),
                                                                data, length, &source.error);
      if (offset < 0) return -1;
      source.position = static_cast<std::uint64_t>(offset);
      return 0;
    }
    case ZIP_SOURCE_TELL:
      return static_cast<zip_int64_t>(source.position);
    case ZIP_SOURCE_SUPPORTS:
      return ZIP_SOURCE_SUPPORTS_SEEKABLE |
             ZIP_SOURCE_MAKE_COMMAND_BITMASK(ZIP_SOURCE_ACCEPT_EMPTY);
    case ZIP_SOURCE_ACCEPT_EMPTY:
      // libzip would otherwise take an empty file for an archive without entries.
      return 0;
    default:
      zip_error_set(&source.error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

// libzip's refusal of the archive or of an entry.
Error archive_failure(zip_error_t* error, const ZipSource& source) {
  switch (zip_error_code_zip(error)) {
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_ENCRNOTSUPP:
      return Error(kPasswordRequired);
    case ZIP_ER_COMPNOTSUPP:
      return Error(kMethodNotSupported);
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
      return Error("i/o error: " +
                   (source.io_error ? source.io_error->message() : zip_error_strerror(error)));
    default:
      return Error(std::string("invalid Zip archive: ") + zip_error_strerror(error));
  }
}

// libzip's refusal while an entry's data streams.
Error data_failure(zip_error_t* error, const ZipSource& source) {
  switch (zip_error_code_zip(error)) {
    case ZIP_ER_CRC:
      return Error("Invalid checksum");
    case ZIP_ER_ZLIB:
    case ZIP_ER_COMPRESSED_DATA:
      return Error("corrupt deflate stream");
    case ZIP_ER_EOF:
      return Error("incomplete deflate stream");
    default:
      return archive_failure(error, source);
  }
}

}  // namespace

void ZipEntryReader::Close::operator()(zip_file* file) const { zip_fclose(file); }

Result<std::size_t> ZipEntryReader::read(std::span<std::byte> buffer) {
  const zip_int64_t count = zip_fread(file_.get(), buffer.data(), buffer.size());
  if (count < 0) return fail(data_failure(zip_file_get_error(file_.get()), *source_));
  return static_cast<std::size_t>(count);
}

void ZipReader::Discard::operator()(zip* archive) const { zip_discard(archive); }

ZipReader::ZipReader(std::unique_ptr<ZipSource> source, zip* archive)
    : source_(std::move(source)), archive_(archive) {}
ZipReader::ZipReader(ZipReader&&) noexcept = default;
ZipReader& ZipReader::operator=(ZipReader&&) noexcept = default;
ZipReader::~ZipReader() = default;

Result<ZipReader> ZipReader::open(platform::RandomAccessFile file) {
  auto source = std::make_unique<ZipSource>(std::move(file));
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* zip_source = zip_source_function_create(source_callback, source.get(), &error);
  zip* archive = nullptr;
  if (zip_source != nullptr) {
    archive = zip_open_from_source(zip_source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    // Until the open succeeds the source is still ours to free.
    if (archive == nullptr) zip_source_free(zip_source);
  }
  if (archive == nullptr) {
    Error failure = archive_failure(&error, *source);
    zip_error_fini(&error);
    return fail(std::move(failure));
  }
  zip_error_fini(&error);
  return ZipReader(std::move(source), archive);
}

std::uint64_t ZipReader::entry_count() const {
  const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
  return count > 0 ? static_cast<std::uint64_t>(count) : 0;
}

Result<ZipEntryInfo> ZipReader::entry(std::uint64_t index) const {
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive_.get(), index, ZIP_FL_ENC_RAW, &stat) != 0) {
    return fail(archive_failure(zip_get_error(archive_.get()), *source_));
  }
  ZipEntryInfo info;
  if ((stat.valid & ZIP_STAT_NAME) != 0 && stat.name != nullptr) info.name = stat.name;
  if ((stat.valid & ZIP_STAT_SIZE) != 0) info.size = stat.size;
  if (zip_file_get_external_attributes(archive_.get(), index, 0, &info.host_system,
                                       &info.external_attributes) != 0) {
    return fail(archive_failure(zip_get_error(archive_.get()), *source_));
  }
  return info;
}

Result<ZipEntryReader> ZipReader::open_entry(std::uint64_t index) const {
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive_.get(), index, 0, &stat) != 0) {
    return fail(archive_failure(zip_get_error(archive_.get()), *source_));
  }
  // Checked here rather than left to libzip, which also inflates methods
  // (bzip2 among them) that the launcher does not accept.
  if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) == 0 || stat.encryption_method != ZIP_EM_NONE) {
    return fail(kPasswordRequired);
  }
  if ((stat.valid & ZIP_STAT_COMP_METHOD) == 0 ||
      (stat.comp_method != kMethodStored && stat.comp_method != kMethodDeflate)) {
    return fail(kMethodNotSupported);
  }
  zip_file_t* file = zip_fopen_index(archive_.get(), index, 0);
  if (file == nullptr) return fail(archive_failure(zip_get_error(archive_.get()), *source_));
  return ZipEntryReader(file, source_.get());
}

}  // namespace orvo::core
