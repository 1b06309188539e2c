// Installed-copy cases of POSIX facts: links, bind mounts, FIFOs, sockets,
// names that are not text or hold a backslash, permission bits, and the
// system's error texts.
// The links stay here: Wine makes no Windows link, and does not report a Unix
// one as a reparse point, so the Windows lane cannot make the entry these
// cases are about (the link decision has a table test of its own there).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/cache/installed_files.hpp"
#include "installed_fixture.hpp"
#include "support/fs/mounts.hpp"
#include "support/fs/special_files.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/suite/case_name.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

// Skips the test when this process may not mount.
void bind_over(Installed& i, const fs::path& source, const fs::path& target) {
  auto mount = std::make_shared<test::BindMount>(source, target);
  i.held.push_back(mount);
  if (!mount->mounted()) GTEST_SKIP() << "cannot bind-mount here: " << mount->error();
}

const std::vector<Case> kPosixCases = {
    {"a link to a correct copy of a file",
     [](Installed& i) {
       fs::remove(i.folder / "bin/a.dll");
       fs::create_symlink(i.copy / "bin/a.dll", i.folder / "bin/a.dll");
     },
     "Installed files contain a link"},
    {"a link to a correct copy of a folder",
     [](Installed& i) {
       fs::remove_all(i.folder / "data");
       fs::create_directory_symlink(i.copy / "data", i.folder / "data");
     },
     "Installed files contain a link"},
    {"the envelope as a link",
     [](Installed& i) {
       fs::remove(i.folder / ".orvo-manifest.json");
       fs::create_symlink(i.copy / "ORVO.Host.exe", i.folder / ".orvo-manifest.json");
     },
     "Installed files contain a link"},
    // Every reparse point counts as a link on Windows, mount points included.
    {"a correct copy of a folder mounted over it",
     [](Installed& i) { bind_over(i, i.copy / "data", i.folder / "data"); },
     "Installed files contain a link"},
    {"a correct copy of a file mounted over it",
     [](Installed& i) { bind_over(i, i.copy / "bin/a.dll", i.folder / "bin/a.dll"); },
     "Installed files contain a link"},
    {"a dangling link",
     [](Installed& i) { fs::create_symlink(i.dir / "nothing", i.folder / "data/sub/gone"); },
     "Installed files contain a link"},
    {"a FIFO at a signed path of an empty file",
     [](Installed& i) {
       fs::remove(i.folder / "empty.txt");
       test::make_fifo(i.folder / "empty.txt");
     },
     "File is a link or is not a regular file: {folder}/empty.txt"},
    {"a socket", [](Installed& i) { test::make_socket(i.folder / "sock"); },
     "Unexpected installed file: sock"},
    {"a name that is not text", [](Installed& i) { test::write_file(i.folder / "bad\xff", ""); },
     "Invalid installed path"},
    // On POSIX '\' is part of a name, never a separator.
    {"a backslash in a name standing for a signed path",
     [](Installed& i) { fs::rename(i.folder / "bin/a.dll", i.folder / "bin\\a.dll"); },
     "Unexpected installed file: bin\\a.dll"},
    {"the folder is a link to a correct copy",
     [](Installed& i) {
       fs::remove_all(i.folder);
       fs::create_directory_symlink(i.copy, i.folder);
     },
     "Folder is a link or is not a directory: {folder}"},
    {"the folder is missing", [](Installed& i) { fs::remove_all(i.folder); },
     "No such file or directory (os error 2)"},
};

INSTANTIATE_TEST_SUITE_P(Cases, VerifyInstalledFiles, testing::ValuesIn(kPosixCases),
                         test::NameOfCase());

TEST(VerifyInstalledFilesAlone, ASizeDifferenceIsFoundWithoutReadingTheFile) {
  Installed installed;
  replace_with_file(installed.folder / "bin/a.dll", "other size");
  fs::permissions(installed.folder / "bin/a.dll", fs::perms::none);
  test::run_bound_by_permissions([&] {
    ASSERT_FALSE(platform::File::open_read(installed.folder / "bin/a.dll"));
    EXPECT_EQ(installed.verify(), "Installed file has changed: bin/a.dll");
  });
}

TEST(VerifyInstalledFilesAlone, AFolderSwappedForALinkDuringTheCheckIsNeverReadThrough) {
  Installed installed;
  // The folder's own file is damaged and its outside copy intact, so "ok" can
  // only come from files read through the link.
  replace_with_file(installed.folder / "data/sub/x.bin", "dat4");
  const fs::path link = installed.dir / "link";
  fs::create_directory_symlink(installed.copy / "data", link);
  ASSERT_TRUE(test::exchange_entries(installed.folder / "data", link));
  ASSERT_TRUE(test::exchange_entries(installed.folder / "data", link));

  std::atomic<bool> done = false;
  std::thread swapper([&] {
    while (!done) test::exchange_entries(installed.folder / "data", link);
  });
  std::map<std::string, int> verdicts;
  for (int run = 0; run < 5000; ++run) ++verdicts[installed.verify()];
  done = true;
  swapper.join();
  EXPECT_EQ(verdicts.count("ok"), 0u) << "the check read the outside copy " << verdicts["ok"]
                                      << " times";
  EXPECT_GT(verdicts["Installed file failed its integrity check: data/sub/x.bin"], 0);
}

TEST(VerifyInstalledFilesAlone, CancelledBeforeAnyListing) {
  Installed installed;
  // Unlistable: a walk that began would fail with a permission error.
  fs::permissions(installed.folder, fs::perms::none);
  CancelFlag cancel;
  cancel.set();
  test::run_bound_by_permissions(
      [&] { EXPECT_EQ(installed.verify(cancel), "Preparation cancelled"); });
}

TEST(VerifyInstalledFilesAlone, AFolderLinkIsRefusedHoweverItIsWritten) {
  Installed installed;
  fs::remove_all(installed.folder);
  fs::create_directory_symlink(installed.copy, installed.folder);
  // A trailing separator or "." would make the system look through the link.
  for (const fs::path& folder :
       {installed.folder, installed.folder / "", installed.folder / ".", installed.folder / "./"}) {
    SCOPED_TRACE(folder);
    auto verified = verify_installed_files(folder, installed.files, CancelFlag());
    ASSERT_FALSE(verified);
    EXPECT_EQ(verified.error().message(),
              "Folder is a link or is not a directory: " + folder.string());
  }
}

}  // namespace
}  // namespace orvo::core
