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
#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"
#include "support/suite/run_program.hpp"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

const std::vector<ReleaseFile> kFiles = {
    {"ORVO.Host.exe", "host program"},
    {"bin/engine.dll", std::string(5000, 'e')},
    {"docs/empty.txt", ""},
};

ProgramOutput tool(const std::vector<std::string>& args) {
  return run_program(ORVO_RELEASE_TOOL, args);
}

class OrvoRelease : public testing::Test {
 protected:
  void SetUp() override {
    const ProgramOutput made = tool({"keygen", "--out", key_file()});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    public_key_ = made.out.substr(0, made.out.size() - 1);
    write_release_folder(dir_ / "release", kFiles);
  }

  std::string key_file() const { return dir_ / "release.key"; }

  ProgramOutput pack(const std::string& folder, const std::string& out, std::string sequence = "7",
                     std::string version = "1.2.3") {
    return tool({"pack", "--key", key_file(), "--sequence", sequence, "--version", version, "--url",
                 "https://127.0.0.1/downloads/host.zip", "--out", out, folder});
  }

  TempDir dir_;
  std::string public_key_;
};

TEST_F(OrvoRelease, KeygenWritesAPrivateKeyAndPrintsItsPublicHalf) {
  EXPECT_EQ(public_key_.size(), 64u);
  EXPECT_TRUE(core::decode_hex(public_key_));
  EXPECT_EQ(fs::status(key_file()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  const std::string before = read_file(key_file());
  const ProgramOutput again = tool({"keygen", "--out", key_file()});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.err.find("cannot create"), std::string::npos) << again.err;
  EXPECT_EQ(read_file(key_file()), before);
}

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
      zip_open((dir_ / "out" / "host.zip").c_str(), ZIP_RDONLY, &code), &zip_discard);
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

TEST_F(OrvoRelease, RefusesWhatTheLauncherWouldRefuse) {
  write_release_folder(dir_ / "no-host", std::vector<ReleaseFile>{{"bin/ORVO.Host.exe", "x"}});
  write_release_folder(dir_ / "device",
                       std::vector<ReleaseFile>{{"ORVO.Host.exe", "x"}, {"aux.txt", "x"}});
  write_release_folder(dir_ / "clash", std::vector<ReleaseFile>{
                                           {"ORVO.Host.exe", "x"}, {"A.txt", "x"}, {"a.TXT", "x"}});
  write_release_folder(dir_ / "linked", std::vector<ReleaseFile>{{"ORVO.Host.exe", "x"}});
  fs::create_symlink("ORVO.Host.exe", dir_ / "linked" / "link.exe");
  fs::create_directory(dir_ / "empty");
  write_file(dir_ / "not-json.json", "not json");
  write_file(dir_ / "bad-rule.json",
             R"({"schema_version":1,"version":"1","sequence":1,"target":"win-x64",)"
             R"("package_url":"https://127.0.0.1/p.zip","package_sha256":")" +
                 std::string(64, 'a') +
                 R"(","package_size":1,"files":[{"path":"x","size":1,"sha256":")" +
                 std::string(64, 'a') + R"("}]})");
  write_file(dir_ / "garbage.json", "{\"payload\":");
  // A manifest that only its length puts beyond what the launcher reads.
  write_file(dir_ / "too-large.json",
             std::string(core::kMaxEnvelopeBytes, ' ') + read_file(dir_ / "bad-rule.json"));

  struct Case {
    const char* name;
    std::function<ProgramOutput()> run;
    std::string error;
  };
  const std::string refused = "the launcher would refuse this release: ";
  const std::vector<Case> cases = {
      {"no_host_at_the_root", [&] { return pack(dir_ / "no-host", dir_ / "o1"); },
       "orvo-release pack: " + refused + "Release is missing ORVO.Host.exe\n"},
      {"device_name", [&] { return pack(dir_ / "device", dir_ / "o2"); },
       "orvo-release pack: " + refused + "Reserved Windows filename\n"},
      {"paths_differing_in_case", [&] { return pack(dir_ / "clash", dir_ / "o3"); },
       "orvo-release pack: " + refused + "Duplicate release path\n"},
      {"link", [&] { return pack(dir_ / "linked", dir_ / "o4"); },
       "orvo-release pack: link.exe in " + (dir_ / "linked").string() +
           " is a link or special file\n"},
      {"empty_folder", [&] { return pack(dir_ / "empty", dir_ / "o5"); },
       "orvo-release pack: " + refused + "Invalid release file count\n"},
      {"missing_folder", [&] { return pack(dir_ / "nothing", dir_ / "o6"); },
       "orvo-release pack: " + (dir_ / "nothing").string() + " is not a folder\n"},
      {"sequence_0", [&] { return pack(dir_ / "release", dir_ / "o7", "0"); },
       "orvo-release pack: " + refused + "Release sequence must be positive\n"},
      {"sequence_negative", [&] { return pack(dir_ / "release", dir_ / "o8", "-1"); },
       "orvo-release pack: --sequence must be a decimal whole number of at most 64 bits\n"},
      {"version_with_plus", [&] { return pack(dir_ / "release", dir_ / "o9", "1", "1+2"); },
       "orvo-release pack: " + refused +
           "Version must use at most 64 ASCII letters, digits, dots, hyphens or underscores\n"},
      {"sign_not_json",
       [&] {
         return tool({"sign", "--key", key_file(), dir_ / "not-json.json"});
       },
       "orvo-release sign: " + (dir_ / "not-json.json").string() +
           " is not a release manifest: parse error at line 1, column 2: syntax error while "
           "parsing value - invalid literal; last read: 'no'\n"},
      {"sign_refused_manifest",
       [&] {
         return tool({"sign", "--key", key_file(), dir_ / "bad-rule.json"});
       },
       "orvo-release sign: " + refused + "Release is missing ORVO.Host.exe\n"},
      {"sign_too_large_manifest",
       [&] {
         return tool({"sign", "--key", key_file(), dir_ / "too-large.json"});
       },
       "orvo-release sign: " + refused + "the signed envelope would exceed 4,194,304 bytes\n"},
      {"sign_missing_key",
       [&] {
         return tool({"sign", "--key", dir_ / "no.key", dir_ / "bad-rule.json"});
       },
       "orvo-release sign: cannot open " + (dir_ / "no.key").string() +
           ": No such file or directory (os error 2)\n"},
      {"sign_with_a_manifest_as_key",
       [&] {
         return tool({"sign", "--key", dir_ / "bad-rule.json", dir_ / "bad-rule.json"});
       },
       "orvo-release sign: a signing key is 64 hexadecimal digits\n"},
      {"verify_short_key",
       [&] {
         return tool({"verify", "--key", "abcd", dir_ / "garbage.json"});
       },
       "orvo-release verify: --key must be the 64 hexadecimal digits of a release key\n"},
      {"verify_garbage",
       [&] {
         return tool({"verify", "--key", public_key_, dir_ / "garbage.json"});
       },
       "orvo-release verify: Invalid signed release envelope: parse error at line 1, column 12: "
       "syntax error while parsing value - unexpected end of input; expected '[', '{', or a "
       "literal\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProgramOutput output = c.run();
    EXPECT_EQ(output.exit_code, 1);
    EXPECT_EQ(output.err, c.error);
    EXPECT_EQ(output.out, "");
  }
  // Nothing is left of a refused release.
  for (const char* out : {"o1", "o2", "o3", "o4", "o5", "o6", "o7", "o8", "o9"}) {
    EXPECT_FALSE(fs::exists(dir_ / out / "host.zip")) << out;
  }
}

// Releases that install on Linux but not side by side on Windows are refused
// before anything is written.
TEST_F(OrvoRelease, RefusesWhatWindowsCouldNotInstall) {
  const std::string refused = "orvo-release pack: Windows could not install this release: ";
  const struct {
    const char* name;
    std::vector<ReleaseFile> files;
    std::string error;
  } cases[] = {
      {"short_name", {{"ORVO.Host.exe", "x"}, {"ORVO~2IO.EXE", "y"}},
       refused + "\"ORVO~2IO.EXE\" has the form of a short name, which Windows may give another "
                 "entry in its folder\n"},
      {"folders_differing_in_case",
       {{"ORVO.Host.exe", "x"}, {"Bin/a.txt", "a"}, {"bin/b.txt", "b"}},
       refused + "\"Bin\" and \"bin\" differ only in letter case, which Windows does not tell "
                 "apart\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write_release_folder(dir_ / c.name, c.files);
    const ProgramOutput output = pack(dir_ / c.name, dir_ / "out" / c.name);
    EXPECT_EQ(output.exit_code, 1);
    EXPECT_EQ(output.err, c.error);
    EXPECT_EQ(output.out, "");
    EXPECT_FALSE(fs::exists(dir_ / "out" / c.name / "host.zip"));
  }
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
    std::vector<std::string> args;
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
