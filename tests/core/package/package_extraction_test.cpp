#include "core/package/package_extraction.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/entry_errors.hpp"
#include "staging_fixture.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/zip_builder.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;
using test::kHostDos;
using test::unix_mode;
using test::ZipAttributes;
using test::ZipBytes;
using test::ZipEntrySpec;
using test::ZipMethod;

// Bytes that DEFLATE cannot shrink much, so that sizes and reads stay honest.
std::string noise(std::size_t size) {
  std::string data(size, '\0');
  std::uint32_t state = 0x9E3779B9;
  for (char& c : data) {
    state = state * 1664525 + 1013904223;
    c = static_cast<char>(state >> 24);
  }
  return data;
}

// Everything below a folder, as sorted relative paths; folders end in '/'.
std::vector<std::string> tree_of(const fs::path& root) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = entry.path().lexically_relative(root).generic_string();
    if (entry.is_directory()) relative += '/';
    found.push_back(relative);
  }
  std::ranges::sort(found);
  return found;
}

struct ExtractionCase {
  std::string label;
  std::vector<ZipEntrySpec> entries;
  std::vector<ManifestFile> files;
  std::string error;              // the chain text; empty for success
  std::vector<std::string> left;  // what the content folder holds afterwards
  std::function<void(ZipBytes&)> patch = {};
};

std::ostream& operator<<(std::ostream& out, const ExtractionCase& c) { return out << c.label; }

class ExtractionTable : public testing::TestWithParam<ExtractionCase> {};

TEST_P(ExtractionTable, ExtractsOrRefuses) {
  const ExtractionCase& c = GetParam();
  Staging staging;
  test::write_zip(staging.package, c.entries);
  if (c.patch) {
    ZipBytes bytes = ZipBytes::read(staging.package);
    c.patch(bytes);
    bytes.write(staging.package);
  }

  const Result<void> result = staging.extract(c.files);

  if (c.error.empty()) {
    ASSERT_TRUE(result) << result.error().chain_text();
    for (const ManifestFile& file : c.files) {
      EXPECT_EQ(digest_of(test::read_file(staging.content / file.path)), file.sha256) << file.path;
    }
  } else {
    ASSERT_FALSE(result) << "extraction succeeded";
    EXPECT_EQ(result.error().chain_text(), c.error);
  }
  EXPECT_EQ(tree_of(staging.content), c.left);
  // Nothing appears beside the content folder.
  EXPECT_EQ(tree_of(staging.dir.path()).size(), tree_of(staging.content).size() + 2);
}

constexpr std::uint32_t kDosReadOnly = 0x01;
constexpr std::uint32_t kDosDirectory = 0x10;
constexpr std::uint32_t kDosArchive = 0x20;
const std::string kHello = "hello";
const std::string kBig = noise(100'000);

const std::vector<ExtractionCase> kCases = {
    // Layouts that must extract.
    {"FilesWithoutFolderEntries",
     {{"a/b/c.txt", "deep"}, {"x.txt", "top", ZipMethod::Store}},
     {signed_file("a/b/c.txt", "deep"), signed_file("x.txt", "top")},
     "",
     {"a/", "a/b/", "a/b/c.txt", "x.txt"}},
    {"FileBeforeItsFolderEntry",
     {{"bin/x.dll", "x"}, {"bin/"}},
     {signed_file("bin/x.dll", "x")},
     "",
     {"bin/", "bin/x.dll"}},
    {"EmptyFile", {{"empty.txt", ""}}, {signed_file("empty.txt", "")}, "", {"empty.txt"}},
    {"MultiReadFile", {{"big.bin", kBig}}, {signed_file("big.bin", kBig)}, "", {"big.bin"}},
    {"DosReadOnlyJudgedByName",
     {{"bin/", "", ZipMethod::Deflate, ZipAttributes{kHostDos, kDosReadOnly}},
      {"bin/a.txt", kHello, ZipMethod::Deflate,
       ZipAttributes{kHostDos, kDosReadOnly | kDosDirectory}}},
     {signed_file("bin/a.txt", kHello)},
     "",
     {"bin/", "bin/a.txt"}},
    {"AttributesZeroJudgedByName",
     {{"bin/", "", ZipMethod::Deflate, ZipAttributes{kHostDos, 0}},
      {"bin/a.txt", kHello, ZipMethod::Deflate, unix_mode(0)}},
     {signed_file("bin/a.txt", kHello)},
     "",
     {"bin/", "bin/a.txt"}},
    {"OtherHostSystemJudgedByName",
     {{"a.txt", kHello, ZipMethod::Deflate, ZipAttributes{10, 0120777u << 16}}},
     {signed_file("a.txt", kHello)},
     "",
     {"a.txt"}},

    // Names.
    {"BackslashFolder", {{"bin\\"}}, {signed_file("bin/x.dll", "x")}, "Invalid archive folder", {}},
    {"BackslashInName",
     {{"bin\\x.dll", "x"}},
     {signed_file("bin/x.dll", "x")},
     "Unsafe package path",
     {}},
    {"ZipSlip", {{"../evil.txt", kHello}}, {}, "Unsafe package path component", {}},
    {"AbsoluteName", {{"/etc/evil", kHello}}, {}, "Unsafe package path", {}},
    {"DriveLetterName", {{"C:evil", kHello}}, {}, "Unsafe Windows filename", {}},
    {"DeviceName", {{"bin/aux.dll", kHello}}, {}, "Reserved Windows filename", {}},
    {"NonAsciiName", {{"caf\xc3\xa9.txt", kHello}}, {}, "Unsupported package path", {}},
    {"OnlyOneTrailingSlashRemoved",
     {{"bin//"}},
     {signed_file("bin/a.txt", kHello)},
     "Unsafe package path component",
     {}},
    {"LauncherFile", {{".orvo-working", "ok"}}, {}, "Reserved launcher filename", {}},
    {"LauncherPrefixDeep",
     {{"sub/.ORVO-manifest.json", "{}"}},
     {},
     "Reserved launcher filename",
     {}},
    {"FolderCaseDuplicate",
     {{"bin/"}, {"BIN/"}},
     {signed_file("bin/a.txt", kHello)},
     "Archive contains duplicate paths",
     {"bin/"}},
    {"FileCaseDuplicate",
     {{"Readme.txt", kHello}, {"readme.TXT", kHello}},
     {signed_file("Readme.txt", kHello)},
     "Archive contains duplicate paths",
     {"Readme.txt"}},
    // libzip refuses a name that occurs twice in the central directory when it opens the archive.
    {"ExactDuplicateName",
     {{"a.txt", kHello}, {"b.txt", kHello}},
     {signed_file("a.txt", kHello)},
     "Invalid Host ZIP archive: invalid Zip archive: File already exists",
     {},
     [](ZipBytes& zip) {
       for (std::size_t at = zip.bytes.find("b.txt"); at != std::string::npos;
            at = zip.bytes.find("b.txt", at)) {
         zip.bytes[at] = 'a';
       }
     }},
    {"FolderAndFileClash",
     {{"a/"}, {"a", kHello}},
     {signed_file("a/x", kHello)},
     "Archive contains duplicate paths",
     {"a/"}},

    // Entry types.
    {"UnixSymlink",
     {{"link.txt", "target.txt", ZipMethod::Deflate, unix_mode(0120777)}},
     {signed_file("link.txt", "target.txt")},
     "Archive contains a link or special file",
     {}},
    {"UnixFifo",
     {{"pipe", "", ZipMethod::Deflate, unix_mode(0010644)}},
     {signed_file("pipe", "")},
     "Archive contains a link or special file",
     {}},
    {"UnixFolderModeOnFileName",
     {{"a.txt", kHello, ZipMethod::Deflate, unix_mode(040755)}},
     {signed_file("a.txt", kHello)},
     "Archive contains a link or special file",
     {}},
    {"DosDirectoryBitOnFileName",
     {{"a.txt", kHello, ZipMethod::Deflate, ZipAttributes{kHostDos, kDosDirectory}}},
     {signed_file("a.txt", kHello)},
     "Archive contains a link or special file",
     {}},
    {"DosFolderNameWithoutDirectoryBit",
     {{"bin/", "", ZipMethod::Deflate, ZipAttributes{kHostDos, kDosArchive}}},
     {signed_file("bin/a.txt", kHello)},
     "Archive contains a link or special file",
     {}},

    // Folders and files against the signed list.
    {"FolderWithData",
     {{"bin/", "x"}},
     {signed_file("bin/a.txt", kHello)},
     "Archive directory contains unexpected data",
     {}},
    {"UnlistedFolder",
     {{"docs/"}},
     {signed_file("a.txt", kHello)},
     "Unlisted archive directory",
     {}},
    {"UnlistedFolderOtherCase",
     {{"docs/"}},
     {signed_file("Docs/a.txt", kHello)},
     "Unlisted archive directory",
     {}},
    {"UnlistedFile",
     {{"a.txt", kHello}, {"extra.txt", kHello}},
     {signed_file("a.txt", kHello)},
     "Unlisted archive file: extra.txt",
     {"a.txt"}},
    {"FileOtherCase",
     {{"README.txt", kHello}},
     {signed_file("Readme.txt", kHello)},
     "Unlisted archive file: README.txt",
     {}},
    {"DeclaredSizeAboveSigned",
     {{"sub/a.txt", "hello world"}},
     {{"sub/a.txt", 10, digest_of("hello worl")}},
     "Archive file size differs from signed release",
     {}},
    {"DigestMismatch",
     {{"a.txt", kHello}},
     {signed_file("a.txt", "HELLO")},
     "Extracted file failed its integrity check",
     {"a.txt"}},
    {"EmptyArchive", {}, {signed_file("a.txt", kHello)}, "Archive is missing signed files", {}},
    {"MissingSignedFile",
     {{"a.txt", kHello}},
     {signed_file("a.txt", kHello), signed_file("b.txt", kHello)},
     "Archive is missing signed files",
     {"a.txt"}},

    // Entries the reader refuses, whatever their names.
    {"EncryptedEntry",
     {{"bin\\", kHello, ZipMethod::Deflate, std::nullopt, true}},
     {},
     "unsupported Zip archive: Password required to decrypt file",
     {}},
    {"Bzip2Entry",
     {{"a.txt", kHello, ZipMethod::Bzip2}},
     {signed_file("a.txt", kHello)},
     "unsupported Zip archive: Compression method not supported",
     {}},
    {"UnknownMethod",
     {{"a.txt", kHello, ZipMethod::Store}},
     {signed_file("a.txt", kHello)},
     "unsupported Zip archive: Compression method not supported",
     {},
     [](ZipBytes& zip) { zip.set_method(0, 93); }},

    // Data that lies about itself.
    {"FewerBytesBadCrc",
     {{"a.txt", kHello}},
     {{"a.txt", 10, digest_of("hellohello")}},
     "Invalid checksum",
     {"a.txt"},
     [](ZipBytes& zip) {
       zip.set_size(0, 10);
       zip.set_crc(0, 0x12345678);
     }},
    {"FewerBytesGoodCrc",
     {{"a.txt", kHello}},
     {{"a.txt", 10, digest_of("hellohello")}},
     "Archive file is truncated",
     {"a.txt"},
     [](ZipBytes& zip) { zip.set_size(0, 10); }},
    {"StoredBadCrc",
     {{"a.txt", kHello, ZipMethod::Store}},
     {signed_file("a.txt", kHello)},
     "Invalid checksum",
     {"a.txt"},
     [](ZipBytes& zip) { zip.set_crc(0, 0x12345678); }},
    {"CorruptDeflateStream",
     {{"a.txt", kBig}},
     {signed_file("a.txt", kBig)},
     "corrupt deflate stream",
     {"a.txt"},
     [](ZipBytes& zip) { zip.bytes[zip.data_offset(0)] = '\xff'; }},
    // libzip ends a cut-off stream quietly; the CRC-32 of what it delivered catches it.
    {"CutOffDeflateStream",
     {{"a.txt", kBig}},
     {signed_file("a.txt", kBig)},
     "Invalid checksum",
     {"a.txt"},
     [](ZipBytes& zip) { zip.set_compressed_size(0, 1000); }},

    // Files that are no ZIP archive.
    {"NotAZip",
     {},
     {},
     "Invalid Host ZIP archive: invalid Zip archive: Not a zip archive",
     {},
     [](ZipBytes& zip) { zip.bytes = "this is not an archive"; }},
    {"EmptyFileNotAZip",
     {},
     {},
     "Invalid Host ZIP archive: invalid Zip archive: Not a zip archive",
     {},
     [](ZipBytes& zip) { zip.bytes.clear(); }},
    {"CutOffArchive",
     {{"a.txt", kBig}},
     {signed_file("a.txt", kBig)},
     "Invalid Host ZIP archive: invalid Zip archive: Not a zip archive",
     {},
     [](ZipBytes& zip) { zip.bytes.resize(zip.bytes.size() / 2); }},
    {"LocalHeaderDisagrees",
     {{"a.txt", kHello}},
     {signed_file("a.txt", kHello)},
     "Invalid Host ZIP archive: invalid Zip archive: Zip archive inconsistent",
     {},
     // The local header's copy of the name, which ends where the data begins.
     [](ZipBytes& zip) { zip.bytes[zip.data_offset(0) - 1] = 'X'; }},
};

INSTANTIATE_TEST_SUITE_P(Archives, ExtractionTable, testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.label; });

TEST(ExtractPackage, SurplusDataNeverReachesTheDisk) {
  // The entry declares the signed size but inflates to more: the read that
  // passes the signed size is not written.
  const std::string signed_part = kBig.substr(0, 70'000);
  Staging staging;
  test::write_zip(staging.package, {{"a.bin", kBig}});
  ZipBytes bytes = ZipBytes::read(staging.package);
  bytes.set_size(0, 70'000);
  bytes.write(staging.package);

  const std::vector files = {signed_file("a.bin", signed_part)};
  const Result<void> result = staging.extract(files);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().chain_text(), "Input exceeds the allowed size");
  const std::string written = test::read_file(staging.content / "a.bin");
  EXPECT_LE(written.size(), signed_part.size());
  EXPECT_EQ(written, signed_part.substr(0, written.size()));
}

// Groups of one empty file below 79 nested folder entries, every entry
// stored, with one more file when over: deep trees at the limit extract whole,
// and one entry more is refused before anything is made. The limit is the
// test's own, a few groups' worth, so that the work stays small under the
// sanitizers; the built-in one is checked below.
TEST(ExtractPackage, EntryCountLimit) {
  constexpr std::uint64_t kGroups = 4;
  constexpr std::uint64_t kLimit = kGroups * 80;
  std::vector<ZipEntrySpec> entries;
  std::vector<ManifestFile> files;
  for (std::uint64_t group = 0; group < kGroups; ++group) {
    std::string folder = std::to_string(group);
    entries.push_back({folder + "/", "", ZipMethod::Store});
    for (int depth = 1; depth < 79; ++depth) {
      folder += "/a";
      entries.push_back({folder + "/", "", ZipMethod::Store});
    }
    entries.push_back({folder + "/f", "", ZipMethod::Store});
    files.push_back(signed_file(folder + "/f", ""));
  }
  ASSERT_EQ(entries.size(), kLimit);
  {
    Staging staging;
    test::write_zip(staging.package, entries);
    const Result<void> result =
        extract_package(staging.package, staging.content, files, CancelFlag(), kLimit);
    ASSERT_TRUE(result) << result.error().chain_text();
    EXPECT_EQ(tree_of(staging.content).size(), kLimit);
  }
  entries.push_back({"one-more", "", ZipMethod::Store});
  files.push_back(signed_file("one-more", ""));
  Staging staging;
  test::write_zip(staging.package, entries);
  const Result<void> result =
      extract_package(staging.package, staging.content, files, CancelFlag(), kLimit);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().chain_text(), "Archive contains too many entries");
  EXPECT_TRUE(fs::is_empty(staging.content));
}

// The built-in limit, counted without extracting: 20,000 unlisted files get
// past the count to the first entry's own refusal, 20,001 do not.
TEST(ExtractPackage, BuiltInEntryLimit) {
  ASSERT_EQ(kMaxArchiveEntries, 20'000U);
  const struct {
    std::uint64_t count;
    std::string error;
  } cases[] = {{kMaxArchiveEntries, "Unlisted archive file: 0"},
               {kMaxArchiveEntries + 1, "Archive contains too many entries"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    std::vector<ZipEntrySpec> entries;
    for (std::uint64_t i = 0; i < c.count; ++i) {
      entries.push_back({std::to_string(i), "", ZipMethod::Store});
    }
    Staging staging;
    test::write_zip(staging.package, entries);
    const Result<void> result = staging.extract({});
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().chain_text(), c.error);
    EXPECT_TRUE(fs::is_empty(staging.content));
  }
}

TEST(ExtractPackage, ExistingTargetIsLeftUnchanged) {
  Staging staging;
  test::write_zip(staging.package, {{"a.txt", kHello}});
  test::write_file(staging.content / "a.txt", "mine");
  const std::vector files = {signed_file("a.txt", kHello)};
  const Result<void> result = staging.extract(files);
  ASSERT_FALSE(result);
  // The system's own refusal, not wrapped in a message of the extraction's.
  EXPECT_TRUE(platform::is_existing_entry(result.error())) << result.error().chain_text();
  EXPECT_EQ(result.error().cause(), nullptr) << result.error().chain_text();
  EXPECT_EQ(test::read_file(staging.content / "a.txt"), "mine");
}

TEST(ExtractPackage, CancelBeforeAnyEntry) {
  Staging staging;
  test::write_zip(staging.package, {{"a.txt", kHello}});
  CancelFlag cancel;
  cancel.set();
  const std::vector files = {signed_file("a.txt", kHello)};
  const Result<void> result = staging.extract(files, cancel);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().chain_text(), "Preparation cancelled");
  EXPECT_TRUE(fs::is_empty(staging.content));
}

TEST(ExtractPackage, CancelDuringALargeFile) {
  // 64 MiB of zeros inflate from a small archive; the flag is set as soon as
  // the first bytes are on disk, and the copy must stop before the end. A
  // watcher that is scheduled too late to find the file unfinished proves
  // nothing, so that attempt is made again.
  constexpr std::size_t kSize = 64u << 20;
  constexpr int kAttempts = 5;
  const std::string zeros(kSize, '\0');
  Staging staging;
  test::write_zip(staging.package, {{"large.bin", zeros}});
  const std::vector files = {signed_file("large.bin", zeros)};

  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const fs::path content = staging.dir / ("attempt" + std::to_string(attempt));
    fs::create_directory(content);
    const fs::path target = content / "large.bin";
    CancelFlag cancel;
    std::atomic<bool> done = false;
    std::thread watcher([&] {
      for (;;) {
        if (done) return;
        std::error_code missing;
        if (fs::file_size(target, missing) > 0 && !missing) break;
        std::this_thread::yield();
      }
      cancel.set();
    });
    const Result<void> result = extract_package(staging.package, content, files, cancel);
    done = true;
    watcher.join();
    if (fs::file_size(target) == kSize) continue;
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().chain_text(), "Preparation cancelled");
    return;
  }
  FAIL() << "the copy never stopped before the end of the file";
}

}  // namespace
}  // namespace orvo::core
