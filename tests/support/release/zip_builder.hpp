// ZIP archives for tests: written by libzip's own writer, then changed byte by
// byte where a test needs an archive that no honest writer makes (a CRC or a
// size that lies, another method, a cut-off file).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvo::test {

enum class ZipMethod { Store, Deflate, Bzip2 };

inline constexpr std::uint8_t kHostDos = 0;
inline constexpr std::uint8_t kHostUnix = 3;

struct ZipAttributes {
  std::uint8_t host_system = kHostUnix;
  std::uint32_t external = 0;
};

// Unix mode bits as a Unix-made entry carries them.
ZipAttributes unix_mode(std::uint32_t mode);

struct ZipEntrySpec {
  std::string name;  // a trailing '/' names a folder entry
  std::string data = {};
  ZipMethod method = ZipMethod::Deflate;
  // When absent: a Unix folder (0o40755) for a name ending in '/', else a Unix file (0o100644).
  std::optional<ZipAttributes> attributes = std::nullopt;
  bool encrypted = false;
};

// Writes the entries in order with libzip's writer; throws when libzip refuses.
void write_zip(const std::filesystem::path& path, const std::vector<ZipEntrySpec>& entries);

// The bytes of an archive that write_zip made (no ZIP64, no comment). Every
// change to a header field is made in the central directory and in the local
// header alike, so that the two still agree.
class ZipBytes {
 public:
  static ZipBytes read(const std::filesystem::path& path);
  void write(const std::filesystem::path& path) const;

  void set_crc(std::size_t entry, std::uint32_t crc);
  void set_size(std::size_t entry, std::uint32_t uncompressed_size);
  void set_compressed_size(std::size_t entry, std::uint32_t compressed_size);
  void set_method(std::size_t entry, std::uint16_t method);
  // Offset of the entry's (compressed) data within the archive.
  std::size_t data_offset(std::size_t entry) const;

  std::string bytes;

 private:
  std::size_t central_header(std::size_t entry) const;
  std::size_t local_header(std::size_t entry) const;
  // A little-endian field of width bytes, in both headers of the entry.
  void set_field(std::size_t entry, std::size_t central_field, std::size_t local_field,
                 std::uint32_t value, std::size_t width);
  std::uint16_t get16(std::size_t offset) const;
  std::uint32_t get32(std::size_t offset) const;
};

}  // namespace orvo::test
