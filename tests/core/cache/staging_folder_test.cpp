// The staging folder: a fresh, randomly named folder in the cache root, gone
// with everything in it once its owner is, and never one that exists already.
#include "core/cache/staging_folder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <set>

#include "core/cache/version_folder_name.hpp"
#include "platform/missing_entry.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

TEST(StagingFolder, IsANewRandomlyNamedFolderDeletedWithItsContents) {
  test::TempDir dir;
  fs::path seen;
  {
    auto staging = StagingFolder::create(dir.path());
    ASSERT_TRUE(staging) << staging.error().chain_text();
    seen = staging->path();
    EXPECT_EQ(seen.parent_path(), dir.path());
    EXPECT_TRUE(std::regex_match(seen.filename().string(), std::regex(R"(\.staging-[A-Za-z0-9]{6})")))
        << seen;
    EXPECT_EQ(staging->package(), seen / "host.zip");
    EXPECT_EQ(staging->content(), seen / "content");
    fs::create_directories(staging->content() / "lib");
    test::write_file(staging->package(), "zip");
    test::write_file(staging->content() / "lib" / "x.dll", "x");

    StagingFolder moved = std::move(*staging);
    EXPECT_EQ(moved.path(), seen);
  }
  EXPECT_FALSE(fs::exists(seen));
  EXPECT_EQ(fs::directory_iterator(dir.path()), fs::directory_iterator());
}

TEST(StagingFolder, TwoAttemptsGetDifferentFolders) {
  test::TempDir dir;
  auto first = StagingFolder::create(dir.path());
  auto second = StagingFolder::create(dir.path());
  ASSERT_TRUE(first && second);
  EXPECT_NE(first->path(), second->path());
}

TEST(StagingFolder, MissingCacheRootIsAnError) {
  test::TempDir dir;
  auto staging = StagingFolder::create(dir / "missing");
  ASSERT_FALSE(staging);
  // The system's own "not found" beneath, whichever code it uses for a missing folder.
  const Error* innermost = &staging.error();
  while (innermost->cause() != nullptr) innermost = innermost->cause();
  EXPECT_TRUE(platform::is_missing_entry(*innermost)) << staging.error().chain_text();
}

TEST(RandomLettersAndDigits, DrawsEveryCharacterOfTheAlphabetAndNothingElse) {
  auto letters = random_letters_and_digits(20'000);
  ASSERT_TRUE(letters);
  ASSERT_EQ(letters->size(), 20'000u);
  const std::set<char> drawn(letters->begin(), letters->end());
  EXPECT_EQ(drawn.size(), 62u);  // missing one of 62 in 20,000 draws: about 1e-134
  EXPECT_TRUE(std::ranges::all_of(drawn, [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }));
}

TEST(VersionFolderName, JoinsSequenceDigestPrefixAndInstallationId) {
  const std::string digest = "0123456789abcdef" + std::string(48, 'e');
  EXPECT_EQ(version_folder_name(42, digest, {0x00, 0x01, 0x0a, 0x7f, 0x80, 0xab, 0xfe, 0xff}),
            "42-0123456789abcdef-00010a7f80abfeff");
  EXPECT_EQ(version_folder_name(18'446'744'073'709'551'615u, digest, {}),
            "18446744073709551615-0123456789abcdef-0000000000000000");
}

TEST(InstallationId, TwoDrawsDiffer) {
  auto first = draw_installation_id();
  auto second = draw_installation_id();
  ASSERT_TRUE(first && second);
  EXPECT_NE(*first, *second);  // equal with probability 2^-64
}

}  // namespace
}  // namespace orvo::core
