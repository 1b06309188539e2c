// Starting, polling, ending and awaiting the Win32 test host: its exit codes,
// the exit code an ended process reports, and a start that cannot happen.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/fs.hpp"
#include "platform/host/process_control.hpp"
#include "platform/win32.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"

namespace orvo::platform {
namespace {

using test::HostFolder;

// The code a process reports, whether it exits by itself or is ended with it.
TEST(ProcessControlWinTest, ExitCodesStayReadableOnceTheProcessHasEnded) {
  const struct {
    std::string behaviour;
    std::optional<std::uint32_t> end_with;
    std::uint32_t code;
  } cases[] = {
      {"exit_code 0", std::nullopt, 0},
      {"exit_code 3", std::nullopt, 3},
      {"exit_code 255", std::nullopt, 255},
      {"delay_ms 60000", 1U, 1},
      {"delay_ms 60000", 7U, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.behaviour);
    HostFolder host(c.behaviour + "\n");
    auto started = start_process(host.program, host.dir.path());
    ASSERT_TRUE(started) << started.error().chain_text();
    EXPECT_NE(process_id(*started), 0U);
    if (c.end_with) {
      const auto running = exit_code_if_ended(*started);
      ASSERT_TRUE(running) << running.error().chain_text();
      EXPECT_FALSE(running->has_value());
      ASSERT_TRUE(end_process(*started, *c.end_with));
    }
    const auto waited = wait_for_exit(*started);
    ASSERT_TRUE(waited) << waited.error().chain_text();
    EXPECT_EQ(*waited, c.code);
    const auto ended = exit_code_if_ended(*started);
    ASSERT_TRUE(ended) << ended.error().chain_text();
    EXPECT_EQ(*ended, c.code);
  }
}

TEST(ProcessControlWinTest, AMissingProgramOrFolderIsTheSystemsError) {
  HostFolder host("exit_code 0\n");
  const auto no_program = start_process(host.dir / "missing.exe", host.dir.path());
  ASSERT_FALSE(no_program);
  EXPECT_TRUE(no_program.error().os_code().has_value());
  const auto no_folder = start_process(host.program, host.dir / "missing");
  ASSERT_FALSE(no_folder);
  EXPECT_TRUE(no_folder.error().os_code().has_value());
}

// Windows gives no process a working folder past MAX_PATH; the refusal says so
// before the system is asked.
TEST(ProcessControlWinTest, AWorkingFolderPastTheLimitIsTooLong) {
  HostFolder host("exit_code 0\n");
  std::filesystem::path folder = host.dir.path();
  while (folder.native().size() <= MAX_PATH) folder /= std::string(40, 'f');
  ASSERT_TRUE(create_folders(folder));
  const auto started = start_process(host.program, folder);
  ASSERT_FALSE(started);
  EXPECT_TRUE(started.error().chain_text().starts_with("Working folder path is too long: "))
      << started.error().chain_text();
  ASSERT_NE(started.error().cause(), nullptr);
  EXPECT_EQ(started.error().cause()->os_code(), ERROR_FILENAME_EXCED_RANGE);
  remove_tree(host.dir / std::string(40, 'f'));
}

}  // namespace
}  // namespace orvo::platform
