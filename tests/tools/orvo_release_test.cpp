#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/release/release_encoding.hpp"
#include "core/release/release_records.hpp"
#include "core/release/sha256.hpp"
#include "core/release/verify_release.hpp"
#include "tools/orvo_release_fixture.hpp"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

TEST_F(OrvoRelease, PackThenVerifyRoundTrips) {
  const ProgramOutput packed = pack(dir_ / "release", dir_ / "out");
  ASSERT_EQ(packed.exit_code, 0) << packed.err;

  const ProgramOutput verified =
      tool({"verify", "--key", public_key_, dir_ / "out" / "latest.json"});
  EXPECT_EQ(verified.exit_code, 0) << verified.err;
  EXPECT_EQ(verified.out, "version 1.2.3\nsequence 7\nfiles 3\n");

  // The manifest lists every file and the package as they are on disk.
  const std::string envelope = read_file(dir_ / "out" / "latest.json");
  auto key = core::decode_hex(public_key_).value();
  auto manifest = core::verify_release(
      bytes_of(envelope),
      std::span<const unsigned char, 32>(reinterpret_cast<unsigned char*>(key.data()), 32), false);
  ASSERT_TRUE(manifest) << manifest.error().chain_text();
  EXPECT_EQ(manifest->files, manifest_of(kFiles).files);
  const std::string package = read_file(dir_ / "out" / "host.zip");
  EXPECT_EQ(manifest->package_size, package.size());
  EXPECT_EQ(manifest->package_sha256, core::sha256_hex(bytes_of(package)));
  EXPECT_EQ(manifest->package_url, "https://127.0.0.1/downloads/host.zip");

  // The package holds exactly those files, DEFLATE-compressed, as regular files.
  int code = 0;
  std::unique_ptr<zip_t, decltype(&zip_discard)> archive(
      zip_open((dir_ / "out" / "host.zip").string().c_str(), ZIP_RDONLY, &code), &zip_discard);
  ASSERT_TRUE(archive) << code;
  ASSERT_EQ(zip_get_num_entries(archive.get(), 0), 3);
  for (zip_uint64_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(kFiles[i].path);
    zip_stat_t stat;
    ASSERT_EQ(zip_stat_index(archive.get(), i, 0, &stat), 0);
    EXPECT_EQ(std::string(stat.name), kFiles[i].path);
    EXPECT_EQ(stat.size, kFiles[i].content.size());
    EXPECT_EQ(stat.comp_method, ZIP_CM_DEFLATE);
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    ASSERT_EQ(zip_file_get_external_attributes(archive.get(), i, 0, &system, &attributes), 0);
    EXPECT_EQ(system, ZIP_OPSYS_UNIX);
    EXPECT_EQ((attributes >> 16) & 0170000, 0100000u);
    EXPECT_EQ(((attributes >> 16) & 0100) != 0, kFiles[i].path == "ORVO.Host.exe");
  }
}

TEST_F(OrvoRelease, VerifyWithAnotherKeyFails) {
  ASSERT_EQ(pack(dir_ / "release", dir_ / "out").exit_code, 0);
  const ProgramOutput other = tool({"keygen", "--out", dir_ / "other.key"});
  ASSERT_EQ(other.exit_code, 0);
  const ProgramOutput verified =
      tool({"verify", "--key", other.out.substr(0, 64), dir_ / "out" / "latest.json"});
  EXPECT_EQ(verified.exit_code, 1);
  EXPECT_EQ(verified.out, "");
  EXPECT_EQ(verified.err,
            "orvo-release verify: The release signature could not be verified: Ed25519 signature "
            "verification failed\n");
}

TEST_F(OrvoRelease, SignGivesTheEnvelopeOfTheManifestBytes) {
  ASSERT_EQ(pack(dir_ / "release", dir_ / "out").exit_code, 0);
  const std::string envelope = read_file(dir_ / "out" / "latest.json");
  auto payload = core::decode_base64(core::read_signed_envelope(envelope).value().payload).value();
  write_file(dir_ / "manifest.json",
             std::string(reinterpret_cast<const char*>(payload.data()), payload.size()));

  const ProgramOutput signed_again = tool({"sign", "--key", key_file(), dir_ / "manifest.json"});
  EXPECT_EQ(signed_again.exit_code, 0) << signed_again.err;
  EXPECT_EQ(signed_again.out, envelope + "\n");
}

TEST_F(OrvoRelease, PackNeverReplacesAnEarlierRelease) {
  ASSERT_EQ(pack(dir_ / "release", dir_ / "out").exit_code, 0);
  const std::string package = read_file(dir_ / "out" / "host.zip");
  const ProgramOutput again = pack(dir_ / "release", dir_ / "out", "8");
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.err.find("cannot create"), std::string::npos) << again.err;
  EXPECT_EQ(read_file(dir_ / "out" / "host.zip"), package);

  // Only latest.json in the way: the new package is removed again.
  fs::create_directory(dir_ / "taken");
  write_file(dir_ / "taken" / "latest.json", "old");
  EXPECT_EQ(pack(dir_ / "release", dir_ / "taken").exit_code, 1);
  EXPECT_FALSE(fs::exists(dir_ / "taken" / "host.zip"));
  EXPECT_EQ(read_file(dir_ / "taken" / "latest.json"), "old");
}

TEST(OrvoReleaseUsage, WrongArgumentsExitWithUsage) {
  struct Case {
    std::vector<fs::path> args;
    std::string first_line;
  };
  const std::vector<Case> cases = {
      {{}, "usage:"},
      {{"frobnicate"}, "orvo-release: unknown command frobnicate"},
      {{"keygen"}, "orvo-release keygen: missing option --out"},
      {{"keygen", "--out"}, "orvo-release keygen: option --out needs a value"},
      {{"keygen", "--out", "a", "--out", "b"}, "orvo-release keygen: option --out is given twice"},
      {{"keygen", "--in", "a"}, "orvo-release keygen: unknown option --in"},
      {{"keygen", "--out", "a", "extra"},
       "orvo-release keygen: expected 0 arguments besides the options, got 1"},
      {{"verify", "--key", "00"},
       "orvo-release verify: expected 1 argument besides the options, got 0"},
  };
  for (const Case& c : cases) {
    const ProgramOutput output = tool(c.args);
    SCOPED_TRACE(output.err);
    EXPECT_EQ(output.exit_code, 2);
    EXPECT_EQ(output.err.substr(0, output.err.find('\n')), c.first_line);
    EXPECT_NE(output.err.find("usage"), std::string::npos);
  }
}

TEST(OrvoReleaseUsage, HelpPrintsTheUsageToStandardOutput) {
  for (const std::string flag : {"--help", "-h"}) {
    const ProgramOutput output = tool({flag});
    SCOPED_TRACE(flag);
    EXPECT_EQ(output.exit_code, 0);
    EXPECT_EQ(output.err, "");
    EXPECT_TRUE(output.out.starts_with("usage:\n")) << output.out;
    for (const std::string command : {"keygen", "pack", "sign", "verify", "check"}) {
      EXPECT_NE(output.out.find("  orvo-release " + command + " --"), std::string::npos) << command;
    }
  }
}

}  // namespace
}  // namespace orvo::test
