// The staging folder: a fresh, randomly named folder in the cache root, gone
// with everything in it once its owner is, and never one that exists already.
#include "core/cache/staging_folder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "core/cache/version_folder_name.hpp"
#include "platform/entry_errors.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/suite/case_name.hpp"

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

// The names a staging folder is offered, in order, and what comes of them in a
// cache root that holds a folder ".staging-folder", a file ".staging-file" and
// a dangling link ".staging-link".
struct StagingDrawCase {
  std::string name;
  std::vector<std::string> draws;  // repeated to the end when shorter than the draws made
  std::string outcome;             // the folder's name, or the error's chain text
  std::size_t draws_made;
  bool cache_root_missing = false;
};

// Every entry below the folder with its kind, a link not followed.
std::vector<std::string> tree_of(const fs::path& folder) {
  std::vector<std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const auto kind = entry.symlink_status().type();
    const char* mark = kind == fs::file_type::directory ? "/"
                       : kind == fs::file_type::symlink ? "@"
                                                        : "";
    tree.push_back(fs::relative(entry.path(), folder).string() + mark);
  }
  std::ranges::sort(tree);
  return tree;
}

class StagingDraws : public testing::TestWithParam<StagingDrawCase> {};

TEST_P(StagingDraws, ATakenNameIsDrawnAgainABoundedNumberOfTimes) {
  const StagingDrawCase& c = GetParam();
  test::TempDir dir;
  fs::create_directories(dir / ".staging-folder" / "content");
  test::write_file(dir / ".staging-file", "kept");
  fs::create_symlink(dir / "nowhere", dir / ".staging-link");
  const auto before = tree_of(dir.path());

  std::size_t made = 0;
  const auto draw = [&]() -> Result<std::string> {
    const std::string& name = c.draws[std::min(made++, c.draws.size() - 1)];
    if (name == "!") return fail("no randomness");
    return name;
  };
  {
    auto staging = StagingFolder::create(c.cache_root_missing ? dir / "missing" : dir.path(), draw);
    EXPECT_EQ(staging ? staging->path().filename().string() : staging.error().chain_text(),
              c.outcome);
  }
  EXPECT_EQ(made, c.draws_made);
  // Whatever was there is left as it was.
  EXPECT_EQ(tree_of(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StagingDraws,
    testing::Values(
        StagingDrawCase{"free name", {"AbC123"}, ".staging-AbC123", 1},
        StagingDrawCase{"taken names", {"folder", "file", "link", "xyz789"}, ".staging-xyz789", 4},
        StagingDrawCase{"every name taken", {"folder"}, "File exists (os error 17)",
                        kStagingNameDraws},
        StagingDrawCase{"missing cache root", {"AbC123"}, "No such file or directory (os error 2)",
                        1, true},
        StagingDrawCase{"generator fails", {"!"}, "no randomness", 1}),
    test::NameOfCase{});

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
