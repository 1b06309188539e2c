// Starting, polling, ending and awaiting the Win32 test host: its exit codes,
// the exit code an ended process reports, and a start that cannot happen.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/process_control.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"

namespace orvo::platform {
namespace {

namespace fs = std::filesystem;

using test::HostFolder;

TEST(ProcessControlWinTest, ExitCodesAreReadFromTheWorkingFolderAndStayReadable) {
  for (const std::uint32_t code : {0U, 3U, 255U}) {
    HostFolder host("exit_code " + std::to_string(code) + "\n");
    auto started = start_process(host.program, host.dir.path());
    ASSERT_TRUE(started) << started.error().chain_text();
    EXPECT_NE(process_id(*started), 0U);
    const auto waited = wait_for_exit(*started);
    ASSERT_TRUE(waited) << waited.error().chain_text();
    EXPECT_EQ(*waited, code);
    const auto ended = exit_code_if_ended(*started);
    ASSERT_TRUE(ended) << ended.error().chain_text();
    EXPECT_EQ(*ended, code);
  }
}

TEST(ProcessControlWinTest, AnEndedProcessReportsTheCodeItWasEndedWith) {
  HostFolder host("delay_ms 60000\n");
  auto started = start_process(host.program, host.dir.path());
  ASSERT_TRUE(started) << started.error().chain_text();
  const auto running = exit_code_if_ended(*started);
  ASSERT_TRUE(running) << running.error().chain_text();
  EXPECT_FALSE(running->has_value());
  ASSERT_TRUE(end_process(*started, 1));
  const auto waited = wait_for_exit(*started);
  ASSERT_TRUE(waited) << waited.error().chain_text();
  EXPECT_EQ(*waited, 1U);
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

}  // namespace
}  // namespace orvo::platform
