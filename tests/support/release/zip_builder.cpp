#include "support/release/zip_builder.hpp"

#include <zip.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace orvo::test {
namespace {

constexpr char kTestPassword[] = "orvo-test";

// Central directory header fields.
constexpr std::size_t kCentralSignature = 0x02014b50;
constexpr std::size_t kCentralMethod = 10;
constexpr std::size_t kCentralCrc = 16;
constexpr std::size_t kCentralCompressedSize = 20;
constexpr std::size_t kCentralSize = 24;
constexpr std::size_t kCentralNameLength = 28;
constexpr std::size_t kCentralExtraLength = 30;
constexpr std::size_t kCentralCommentLength = 32;
constexpr std::size_t kCentralLocalOffset = 42;
constexpr std::size_t kCentralFixedBytes = 46;
// Local header fields.
constexpr std::size_t kLocalMethod = 8;
constexpr std::size_t kLocalCrc = 14;
constexpr std::size_t kLocalCompressedSize = 18;
constexpr std::size_t kLocalSize = 22;
constexpr std::size_t kLocalNameLength = 26;
constexpr std::size_t kLocalExtraLength = 28;
constexpr std::size_t kLocalFixedBytes = 30;
// End of central directory record, which write_zip leaves without a comment.
constexpr std::size_t kEndBytes = 22;
constexpr std::size_t kEndCentralOffset = 16;

[[noreturn]] void throw_libzip(zip_t* archive, const std::string& what) {
  throw std::runtime_error(what + ": " + zip_strerror(archive));
}

std::int32_t libzip_method(ZipMethod method) {
  switch (method) {
    case ZipMethod::Store:
      return ZIP_CM_STORE;
    case ZipMethod::Deflate:
      return ZIP_CM_DEFLATE;
    case ZipMethod::Bzip2:
      return ZIP_CM_BZIP2;
  }
  return ZIP_CM_DEFAULT;
}

void add_entry(zip_t* archive, const ZipEntrySpec& entry) {
  zip_source_t* source = zip_source_buffer(archive, entry.data.data(), entry.data.size(), 0);
  if (source == nullptr) throw_libzip(archive, "zip_source_buffer");
  const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_RAW);
  if (index < 0) {
    zip_source_free(source);
    throw_libzip(archive, "zip_file_add " + entry.name);
  }
  const auto at = static_cast<zip_uint64_t>(index);
  if (zip_set_file_compression(archive, at, libzip_method(entry.method), 0) != 0) {
    throw_libzip(archive, "zip_set_file_compression");
  }
  const bool folder = entry.name.ends_with('/');
  const ZipAttributes attributes = entry.attributes.value_or(unix_mode(folder ? 040755 : 0100644));
  if (zip_file_set_external_attributes(archive, at, 0, attributes.host_system,
                                       attributes.external) != 0) {
    throw_libzip(archive, "zip_file_set_external_attributes");
  }
  if (entry.encrypted && zip_file_set_encryption(archive, at, ZIP_EM_AES_256, kTestPassword) != 0) {
    throw_libzip(archive, "zip_file_set_encryption");
  }
}

}  // namespace

ZipAttributes unix_mode(std::uint32_t mode) { return {kHostUnix, mode << 16}; }

void write_zip(const std::filesystem::path& path, const std::vector<ZipEntrySpec>& entries) {
  int error = 0;
  // libzip takes UTF-8 names on every system.
  zip_t* archive = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) throw std::runtime_error("zip_open failed: " + std::to_string(error));
  try {
    for (const ZipEntrySpec& entry : entries) add_entry(archive, entry);
  } catch (...) {
    zip_discard(archive);
    throw;
  }
  if (zip_close(archive) != 0) {
    const std::string text = zip_strerror(archive);
    zip_discard(archive);
    throw std::runtime_error("zip_close: " + text);
  }
  // libzip writes nothing for an archive without entries.
  if (entries.empty()) {
    std::ofstream(path, std::ios::binary) << std::string("PK\5\6", 4) << std::string(18, '\0');
  }
}

ZipBytes ZipBytes::read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return ZipBytes{{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}};
}

void ZipBytes::write(const std::filesystem::path& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void ZipBytes::set_crc(std::size_t entry, std::uint32_t crc) {
  set_field(entry, kCentralCrc, kLocalCrc, crc, 4);
}

void ZipBytes::set_size(std::size_t entry, std::uint32_t uncompressed_size) {
  set_field(entry, kCentralSize, kLocalSize, uncompressed_size, 4);
}

void ZipBytes::set_compressed_size(std::size_t entry, std::uint32_t compressed_size) {
  set_field(entry, kCentralCompressedSize, kLocalCompressedSize, compressed_size, 4);
}

void ZipBytes::set_method(std::size_t entry, std::uint16_t method) {
  set_field(entry, kCentralMethod, kLocalMethod, method, 2);
}

void ZipBytes::set_field(std::size_t entry, std::size_t central_field, std::size_t local_field,
                         std::uint32_t value, std::size_t width) {
  const std::size_t local = local_header(entry);
  const std::size_t central = central_header(entry);
  for (std::size_t i = 0; i < width; ++i) {
    bytes.at(central + central_field + i) = static_cast<char>(value >> (8 * i));
    bytes.at(local + local_field + i) = static_cast<char>(value >> (8 * i));
  }
}

std::size_t ZipBytes::data_offset(std::size_t entry) const {
  const std::size_t local = local_header(entry);
  return local + kLocalFixedBytes + get16(local + kLocalNameLength) +
         get16(local + kLocalExtraLength);
}

std::size_t ZipBytes::central_header(std::size_t entry) const {
  if (bytes.size() < kEndBytes) throw std::runtime_error("no end of central directory");
  std::size_t offset = get32(bytes.size() - kEndBytes + kEndCentralOffset);
  for (std::size_t i = 0;; ++i) {
    if (get32(offset) != kCentralSignature) throw std::runtime_error("no such entry");
    if (i == entry) return offset;
    offset += kCentralFixedBytes + get16(offset + kCentralNameLength) +
              get16(offset + kCentralExtraLength) + get16(offset + kCentralCommentLength);
  }
}

std::size_t ZipBytes::local_header(std::size_t entry) const {
  return get32(central_header(entry) + kCentralLocalOffset);
}

std::uint16_t ZipBytes::get16(std::size_t offset) const {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes.at(offset)) |
                                    (static_cast<unsigned char>(bytes.at(offset + 1)) << 8));
}

std::uint32_t ZipBytes::get32(std::size_t offset) const {
  return get16(offset) | (static_cast<std::uint32_t>(get16(offset + 2)) << 16);
}

}  // namespace orvo::test
