// Whole attempts under an environment that only POSIX systems can hold: a
// variable set to "", which Windows takes as no variable at all (the cache
// root without LOCALAPPDATA has its Windows cases in core/cache).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "attempt/preparation_attempt_fixture.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/scoped_working_folder.hpp"

namespace orvo::core {
namespace {

// An empty LOCALAPPDATA makes the cache root relative to the launcher's
// working folder; the host, which runs in its version folder, still starts.
TEST_F(PreparationAttempt, AnEmptyLocalAppDataGivesACacheBesideTheLauncherThatStillStarts) {
  const test::ScopedVariable empty("LOCALAPPDATA", "");
  const test::ScopedWorkingFolder here(dir.path());
  publish(host_release(2), 2);
  const auto seen = run();

  ASSERT_EQ(seen.back(), "Launched") << seen.back();
  const auto names = entries_of(versions());
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(test::read_file(versions() / names[0] / ".orvo-working"), "ok");
  EXPECT_EQ(log_lines(), std::vector<std::string>{"Opened Host 1.0.2 (cached: false)"});
}

}  // namespace
}  // namespace orvo::core
