// Extraction cases that state POSIX facts: the system's error texts, a FIFO,
// the modes that the umask leaves.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "staging_fixture.hpp"
#include "support/release/zip_builder.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

TEST(ExtractPackage, PackageThatIsNoReadableFile) {
  struct Case {
    std::string label;
    std::function<void(const fs::path&)> make;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"missing", [](const fs::path&) {}, "No such file or directory (os error 2)"},
      {"folder", [](const fs::path& path) { fs::create_directory(path); },
       "Invalid Host ZIP archive: i/o error: Is a directory (os error 21)"},
      // Must not wait for a writer.
      {"fifo", [](const fs::path& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
       "Invalid Host ZIP archive: invalid Zip archive: Not a zip archive"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Staging staging;
    c.make(staging.package);
    const Result<void> result = staging.extract({});
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().chain_text(), c.error);
  }
}

TEST(ExtractPackage, ModesOfCreatedFilesAndFolders) {
  Staging staging;
  test::write_zip(staging.package, {{"ORVO.Host.exe", "host"}, {"bin/ORVO.Host.exe", "not host"}});
  const std::vector files = {signed_file("ORVO.Host.exe", "host"),
                             signed_file("bin/ORVO.Host.exe", "not host")};
  const mode_t old_umask = ::umask(022);
  const Result<void> result = staging.extract(files);
  ::umask(old_umask);
  ASSERT_TRUE(result) << result.error().chain_text();
  const auto mode = [](const fs::path& path) {
    return fs::status(path).permissions() & fs::perms::all;
  };
  using enum fs::perms;
  EXPECT_EQ(mode(staging.content / "ORVO.Host.exe"),
            owner_all | group_read | group_exec | others_read | others_exec);
  EXPECT_EQ(mode(staging.content / "bin"),
            owner_all | group_read | group_exec | others_read | others_exec);
  EXPECT_EQ(mode(staging.content / "bin/ORVO.Host.exe"),
            owner_read | owner_write | group_read | others_read);
}

}  // namespace
}  // namespace orvo::core
