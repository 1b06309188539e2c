// Extraction cases of the same concerns on Windows: the system's refusals of
// a package that is no readable file, a device name and a pipe among them, and
// the read-only attribute, which would keep a later removal of the version from
// deleting the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/entry_errors.hpp"
#include "platform/fs.hpp"
#include "platform/os_error.hpp"
#include "platform/win32.hpp"
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

// A pipe stands where POSIX has a FIFO: its server may never write, and the
// extraction must not wait for it.
TEST(ExtractPackageWin, APipeIsNotWaitedOn) {
  const std::wstring name = L"\\\\.\\pipe\\orvo-package-" + std::to_wstring(::GetCurrentProcessId());
  const HANDLE server = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE,
                                           PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE) << ::GetLastError();
  Staging staging;
  std::mutex mutex;
  std::condition_variable ended;
  std::optional<Result<void>> result;
  std::thread extraction([&] {
    Result<void> outcome = extract_package(fs::path(name), staging.content, {}, {});
    const std::lock_guard lock(mutex);
    result = std::move(outcome);
    ended.notify_one();
  });
  {
    std::unique_lock lock(mutex);
    // Far longer than a refusal takes; a wait for the server would never end.
    EXPECT_TRUE(ended.wait_for(lock, std::chrono::seconds(60), [&] { return result.has_value(); }))
        << "the extraction waits for the pipe's server";
  }
  // Closing the server ends any read still waiting on it.
  ::CloseHandle(server);
  extraction.join();
  ASSERT_TRUE(result);
  ASSERT_FALSE(*result);
  // A pipe has no size: the system refuses to give one (Wine), or gives none
  // that an archive could have.
  constexpr int kInvalidFunction = 1;
  const std::set<std::string> refusals = {
      platform::os_error(kInvalidFunction).message(),
      "Invalid Host ZIP archive: invalid Zip archive: Not a zip archive"};
  EXPECT_TRUE(refusals.contains(result->error().chain_text())) << result->error().chain_text();
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
