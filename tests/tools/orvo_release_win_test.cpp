// The signing key on Windows. Windows has no permission bits: the tool takes
// nothing away from the new key file, which is as private as the access list
// it inherits from its folder makes it. What stays is that a key is written
// once and never replaced.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/release/release_encoding.hpp"
#include "tools/orvo_release_fixture.hpp"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

using OrvoReleaseWin = OrvoRelease;

TEST_F(OrvoReleaseWin, KeygenWritesTheKeyAndPrintsItsPublicHalf) {
  EXPECT_EQ(public_key_.size(), 64u);
  EXPECT_TRUE(core::decode_hex(public_key_));
  const std::string before = read_file(key_file());
  EXPECT_FALSE(before.empty());
  // The key file can be deleted by its owner like any other: not read-only.
  EXPECT_NE(fs::status(key_file()).permissions() & fs::perms::owner_write, fs::perms::none);

  const ProgramOutput again = tool({"keygen", "--out", key_file()});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.err.find("cannot create"), std::string::npos) << again.err;
  EXPECT_EQ(read_file(key_file()), before);
}

}  // namespace
}  // namespace orvo::test
