// Extraction cases of the same concerns on Windows: the system's refusals of
// a package that is no readable file, a device name among them, and the
// read-only attribute, which would keep a later removal of the version from
// deleting the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/entry_errors.hpp"
#include "platform/fs.hpp"
#include "platform/os_error.hpp"
#include "staging_fixture.hpp"
#include "support/release/zip_builder.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kReadOnlyAttribute = 0x01;
// What opening a folder as the package gives.
constexpr int kAccessDenied = 5;

TEST(ExtractPackageWin, PackageThatIsNoReadableFile) {
  Staging staging;
  const Result<void> missing = extract_package(staging.package, staging.content, {}, {});
  ASSERT_FALSE(missing);
  EXPECT_TRUE(platform::is_missing_entry(missing.error())) << missing.error().chain_text();

  fs::create_directory(staging.package);
  const Result<void> folder = extract_package(staging.package, staging.content, {}, {});
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.error().chain_text(), platform::os_error(kAccessDenied).message());

  // A device reads as empty and must not be waited on.
  const Result<void> device = extract_package("\\\\.\\NUL", staging.content, {}, {});
  ASSERT_FALSE(device);
  EXPECT_EQ(device.error().chain_text(),
            "Invalid Host ZIP archive: invalid Zip archive: Not a zip archive");
}

TEST(ExtractPackageWin, CreatedFilesAreNeverReadOnly) {
  constexpr std::uint32_t kDosDirectory = 0x10;
  Staging staging;
  test::write_zip(staging.package,
                  {{"bin/", "", test::ZipMethod::Deflate,
                    test::ZipAttributes{test::kHostDos, kReadOnlyAttribute | kDosDirectory}},
                   {"bin/ORVO.Host.exe", "host", test::ZipMethod::Deflate,
                    test::ZipAttributes{test::kHostDos, kReadOnlyAttribute}}});
  const std::vector files = {signed_file("bin/ORVO.Host.exe", "host")};
  const Result<void> result = staging.extract(files);
  ASSERT_TRUE(result) << result.error().chain_text();
  for (const fs::path& path : {staging.content / "bin", staging.content / "bin/ORVO.Host.exe"}) {
    SCOPED_TRACE(path.string());
    auto attributes = platform::entry_attributes(path);
    ASSERT_TRUE(attributes) << attributes.error().chain_text();
    EXPECT_EQ(attributes->attributes & kReadOnlyAttribute, 0u);
  }
}

}  // namespace
}  // namespace orvo::core
