// What the release tool refuses on a POSIX system: links, names that differ
// only in case side by side, mode 0600 for the key, POSIX error texts. A
// Windows folder cannot hold most of these releases in the first place.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/release/release_encoding.hpp"
#include "core/release/verify_release.hpp"
#include "tools/orvo_release_fixture.hpp"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

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

}  // namespace
}  // namespace orvo::test
