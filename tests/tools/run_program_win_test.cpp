// The Win32 child runner, as the tools' tests use it: a child's handles may
// outlive the moment its process is seen to end (under Wine they do), so a
// capture file or folder removed then would stay behind in the temporary
// folder, run after run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/suite/run_program.hpp"

namespace orvo::test {
namespace {

std::vector<std::string> entries_of(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(ChildRunner, LeavesNothingInTheTemporaryFolder) {
  const TempDir temp;
  const ScopedVariable temp_variable(kTempFolderVariable, temp.path().string());
  for (int run = 0; run < 10; ++run) {
    SCOPED_TRACE(run);
    const ProgramOutput output = text_lines_of(run_program(ORVO_RELEASE_TOOL, {"--help"}));
    EXPECT_EQ(output.exit_code, 0) << output.err;
    EXPECT_TRUE(output.out.starts_with("usage")) << output.out;
    EXPECT_EQ(entries_of(temp.path()), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace orvo::test
