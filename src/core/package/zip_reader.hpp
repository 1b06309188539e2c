// A ZIP archive read through libzip: the entries of its central directory by
// index, and each entry's data inflated and CRC-checked. libzip's refusals
// come back as error values with the launcher's fixed texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "base/error.hpp"
#include "platform/random_access_file.hpp"

struct zip;
struct zip_file;

namespace orvo::core {

// What the central directory says about one entry.
struct ZipEntryInfo {
  std::string name;              // the raw name bytes, undecoded
  std::uint64_t size = 0;        // declared uncompressed size
  std::uint8_t host_system = 0;  // high byte of version-made-by
  std::uint32_t external_attributes = 0;
};

struct ZipSource;

// One entry's data, opened for reading; must not outlive its ZipReader.
class ZipEntryReader {
 public:
  // Up to buffer.size() bytes; 0 at the end of the data, once the CRC-32 matched.
  // The declared size is not enforced: the caller counts the bytes.
  Result<std::size_t> read(std::span<std::byte> buffer);

 private:
  friend class ZipReader;
  struct Close {
    void operator()(zip_file* file) const;
  };
  ZipEntryReader(zip_file* file, const ZipSource* source) : file_(file), source_(source) {}
  std::unique_ptr<zip_file, Close> file_;
  const ZipSource* source_;
};

class ZipReader {
 public:
  // Reads the central directory and checks every local header against it.
  // Errors: "invalid Zip archive: {}" with libzip's reason, or "i/o error: {}".
  static Result<ZipReader> open(platform::RandomAccessFile file);

  ZipReader(ZipReader&&) noexcept;
  ZipReader& operator=(ZipReader&&) noexcept;
  ~ZipReader();

  std::uint64_t entry_count() const;
  Result<ZipEntryInfo> entry(std::uint64_t index) const;
  // Only unencrypted stored or DEFLATE entries are opened; others are refused
  // with "unsupported Zip archive: {}".
  Result<ZipEntryReader> open_entry(std::uint64_t index) const;

 private:
  struct Discard {
    void operator()(zip* archive) const;
  };
  ZipReader(std::unique_ptr<ZipSource> source, zip* archive);
  // Declared before the archive, which reads through it until it is discarded.
  std::unique_ptr<ZipSource> source_;
  std::unique_ptr<zip, Discard> archive_;
};

}  // namespace orvo::core
