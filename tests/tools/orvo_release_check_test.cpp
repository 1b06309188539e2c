#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/release/sha256.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"
#include "support/release/zip_builder.hpp"
#include "support/suite/run_program.hpp"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

const std::vector<ReleaseFile> kFiles = {
    {"ORVO.Host.exe", "host program"},
    {"bin/engine.dll", std::string(70'000, 'e')},
    {"docs/empty.txt", ""},
};

// The check's scratch folders go to a temporary folder of the test's own, so
// that it can see them gone afterwards.
class OrvoReleaseCheck : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(temp_);
    auto release = build_release(signer_, dir_ / "work", kFiles);
    ASSERT_TRUE(release) << release.error().chain_text();
    package_ = release->package;
    envelope_ = release->envelope_file;
  }

  ProgramOutput check(const fs::path& envelope, const fs::path& package) const {
    return text_lines_of(run_program(ORVO_RELEASE_TOOL,
                                     {"check", "--key", signer_.key().public_key_hex(),
                                      envelope.string(), package.string()}));
  }

  // The check's scratch folders left in the temporary folder, one a line.
  // (The Win32 child runner keeps its capture files there too.)
  std::string left_in_temp() const {
    std::string left;
    for (const auto& entry : fs::directory_iterator(temp_)) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with("orvo-check-")) left += name + "\n";
    }
    return left;
  }

  TempDir dir_;
  fs::path temp_ = dir_ / "tmp";
  ScopedVariable temp_variable_{kTempFolderVariable, temp_.string()};
  ReleaseSigner signer_;
  fs::path package_;
  fs::path envelope_;
};

TEST_F(OrvoReleaseCheck, AcceptsWhatPackMakes) {
  const ProgramOutput output = check(envelope_, package_);
  EXPECT_EQ(output.exit_code, 0) << output.err;
  EXPECT_EQ(output.out, "OK\n");
  EXPECT_EQ(output.err, "");
  EXPECT_EQ(left_in_temp(), "");
}

TEST_F(OrvoReleaseCheck, RefusesAPackageThatIsNotTheSignedOne) {
  // A package that matches its signed digest but holds a file the release
  // does not list: only the extraction can tell.
  const fs::path crafted_package = dir_ / "crafted.zip";
  write_zip(crafted_package, {{"ORVO.Host.exe", "host program"}, {"extra.txt", "unsigned"}});
  const std::string crafted = read_file(crafted_package);
  core::Manifest manifest = valid_manifest({manifest_entry("ORVO.Host.exe", "host program")});
  manifest.package_size = crafted.size();
  manifest.package_sha256 = core::sha256_hex(bytes_of(crafted));
  const fs::path crafted_envelope = dir_ / "crafted.json";
  write_file(crafted_envelope, signer_.envelope(manifest));

  struct Case {
    std::string label;
    std::function<void()> change;
    fs::path envelope;
    fs::path package;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"one byte changed",
       [&] {
         std::string bytes = read_file(package_);
         bytes[bytes.size() / 2] ^= 0x01;
         write_file(package_, bytes);
       },
       envelope_, package_, "the package's SHA-256 differs from the signed release"},
      {"one byte more", [&] { write_file(package_, read_file(package_) + "x"); }, envelope_,
       package_, "the package's size differs from the signed release"},
      {"unlisted entry", [] {}, crafted_envelope, crafted_package,
       "Unlisted archive file: extra.txt"},
  };
  const std::string original = read_file(package_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    write_file(package_, original);
    c.change();
    const ProgramOutput output = check(c.envelope, c.package);
    EXPECT_EQ(output.exit_code, 1);
    EXPECT_EQ(output.out, "");
    EXPECT_EQ(output.err, "orvo-release check: " + c.error + "\n");
    EXPECT_EQ(left_in_temp(), "");
  }
}

// A signed release that extracts here yet not on Windows: folders that differ
// only in letter case.
TEST_F(OrvoReleaseCheck, RefusesWhatWindowsCouldNotInstall) {
  const std::vector<ReleaseFile> files = {
      {"Bin/a.txt", "a"}, {"ORVO.Host.exe", "host program"}, {"bin/b.txt", "b"}};
  const fs::path package = dir_ / "cased.zip";
  std::vector<ZipEntrySpec> entries;
  std::vector<core::ManifestFile> listed;
  for (const ReleaseFile& file : files) {
    entries.push_back({file.path, file.content});
    listed.push_back(manifest_entry(file.path, file.content));
  }
  write_zip(package, entries);
  const std::string bytes = read_file(package);
  core::Manifest manifest = valid_manifest(listed);
  manifest.package_size = bytes.size();
  manifest.package_sha256 = core::sha256_hex(bytes_of(bytes));
  const fs::path envelope = dir_ / "cased.json";
  write_file(envelope, signer_.envelope(manifest));

  const ProgramOutput output = check(envelope, package);
  EXPECT_EQ(output.exit_code, 1);
  EXPECT_EQ(output.out, "");
  EXPECT_EQ(output.err,
            "orvo-release check: Windows could not install this release: \"Bin\" and \"bin\" "
            "differ only in letter case, which Windows does not tell apart\n");
  EXPECT_EQ(left_in_temp(), "");
}

}  // namespace
}  // namespace orvo::test
