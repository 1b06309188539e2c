// Starting, polling, ending and awaiting real child processes: the test host,
// which reads what to do from a behaviour file in its working folder.
#include "platform/host/process_control.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs.hpp"
#include "support/fs/scoped_working_folder.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"

namespace orvo::platform {
namespace {

namespace fs = std::filesystem;

using test::HostFolder;

class ExitCodes : public testing::TestWithParam<std::uint32_t> {};

TEST_P(ExitCodes, AreReadFromTheWorkingFolderBehaviourAndStayReadable) {
  HostFolder host("exit_code " + std::to_string(GetParam()) + "\n");
  auto started = start_process(host.program, host.dir.path());
  ASSERT_TRUE(started) << started.error().chain_text();
  const auto waited = wait_for_exit(*started);
  ASSERT_TRUE(waited) << waited.error().chain_text();
  EXPECT_EQ(*waited, GetParam());
  for (int again = 0; again < 2; ++again) {
    const auto ended = exit_code_if_ended(*started);
    ASSERT_TRUE(ended) << ended.error().chain_text();
    EXPECT_EQ(*ended, GetParam());
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, ExitCodes, testing::Values(0U, 3U, 255U));

TEST(ProcessControl, EndingARunningProcessReportsTheSignalAndDroppingReapsIt) {
  HostFolder host("delay_ms 60000\n");
  auto started = start_process(host.program, host.dir.path());
  ASSERT_TRUE(started) << started.error().chain_text();
  const int pid = started->handles().pid;
  EXPECT_EQ(process_id(*started), static_cast<std::uint32_t>(pid));

  const auto running = exit_code_if_ended(*started);
  ASSERT_TRUE(running) << running.error().chain_text();
  EXPECT_FALSE(running->has_value());

  ASSERT_TRUE(end_process(*started, 1));
  const auto waited = wait_for_exit(*started);
  ASSERT_TRUE(waited) << waited.error().chain_text();
  EXPECT_EQ(*waited, 128U + 9U);
  EXPECT_TRUE(test::process_exists(pid)) << "an ended child stays until its owner lets go";

  *started = Process();
  EXPECT_FALSE(test::process_exists(pid));
}

// Libraries of the launcher (curl's sockets among them) open descriptors that
// are not closed on exec; none of them may reach the host.
TEST(ProcessControl, TheStartedProgramGetsOnlyTheStandardDescriptors) {
  HostFolder host("delay_ms 60000\n");
  // A file of its own, so that what the started program opens itself (its
  // libraries while it loads) is not taken for an inherited descriptor.
  const fs::path planted = host.dir / "planted.txt";
  test::write_file(planted, "");
  const int inheritable = ::open(planted.c_str(), O_RDONLY);
  ASSERT_GE(inheritable, 0);
  auto started = start_process(host.program, host.dir.path());
  ::close(inheritable);
  ASSERT_TRUE(started) << started.error().chain_text();

  std::vector<std::string> inherited;
  const fs::path fds = "/proc/" + std::to_string(started->handles().pid) + "/fd";
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(fds)) {
    const fs::path target = fs::read_symlink(entry.path(), ignored);
    if (target == fs::canonical(planted)) inherited.push_back(entry.path().filename().string());
  }
  EXPECT_TRUE(inherited.empty()) << testing::PrintToString(inherited);
  ASSERT_TRUE(end_process(*started, 1));
  ASSERT_TRUE(wait_for_exit(*started));
}

// The child enters its working folder before the program is looked up, so a
// relative program path must still name the program the launcher meant.
TEST(ProcessControl, RelativePathsAreTakenFromTheStartersWorkingFolder) {
  HostFolder host("exit_code 5\n");
  const test::ScopedWorkingFolder here(host.dir.path().parent_path());
  const fs::path folder = host.dir.path().filename();
  auto started = start_process(folder / "ORVO.Host.exe", folder);
  ASSERT_TRUE(started) << started.error().chain_text();
  const auto waited = wait_for_exit(*started);
  ASSERT_TRUE(waited) << waited.error().chain_text();
  EXPECT_EQ(*waited, 5U) << "the behaviour file of the working folder was read";
}

TEST(ProcessControl, AStartThatCannotHappenGivesTheSystemError) {
  HostFolder host("exit_code 0\n");
  test::write_file(host.dir / "plain.txt", "not a program");
  const struct {
    fs::path program;
    fs::path folder;
    std::string error;
  } cases[] = {
      {host.dir / "missing.exe", host.dir.path(), "No such file or directory (os error 2)"},
      {host.program, host.dir / "missing-folder", "No such file or directory (os error 2)"},
      {host.dir / "plain.txt", host.dir.path(), "Permission denied (os error 13)"},
  };
  for (const auto& c : cases) {
    const auto started = start_process(c.program, c.folder);
    ASSERT_FALSE(started) << c.program;
    EXPECT_EQ(started.error().chain_text(), c.error) << c.program << " in " << c.folder;
  }
}

void write_through_platform(const fs::path& path, std::string_view bytes, FileMode mode) {
  auto file = File::create_new(path, mode);
  ASSERT_TRUE(file) << file.error().chain_text();
  ASSERT_TRUE(file->write_all(std::as_bytes(std::span(bytes))));
  ASSERT_TRUE(file->close());
}

// A program past MAX_PATH in a folder within it starts like any other. Not in
// the Windows lane: Wine 8's CreateProcessW copies the program's path into a
// buffer of MAX_PATH characters when it makes the new process's parameters,
// cutting it short whatever its form ("\\?\" too), so under Wine the start
// fails with "File not found". That is Wine's limit, not the Win32 layer's.
TEST(ProcessControl, AProgramPastMaxPathStartsInItsFolder) {
  test::TempDir dir;
  fs::path folder = dir / "long";
  // 250 units: the program's path passes 260, the folder stays within 258.
  while (folder.native().size() < 250) {
    folder /= std::string(std::min<std::size_t>(40, 250 - folder.native().size()), 'p');
  }
  ASSERT_TRUE(create_folders(folder));
  const fs::path program = folder / "ORVO.Host.exe";
  ASSERT_GT(program.native().size(), 260U);
  write_through_platform(program, test::test_host_bytes(), FileMode::Executable);
  write_through_platform(folder / test::kHostBehaviourFile, "exit_code 3\n", FileMode::Regular);

  auto started = start_process(program, folder);
  ASSERT_TRUE(started) << started.error().chain_text();
  const auto waited = wait_for_exit(*started);
  ASSERT_TRUE(waited) << waited.error().chain_text();
  EXPECT_EQ(*waited, 3U);
  remove_tree(dir / "long");
}

}  // namespace
}  // namespace orvo::platform
