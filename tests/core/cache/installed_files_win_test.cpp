// Installed-copy cases of Windows: the read-only attribute, and the system's
// own error texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "installed_fixture.hpp"
#include "platform/os_error.hpp"
#include "support/suite/case_name.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

constexpr int kFileNotFound = 2;

const std::vector<Case> kWindowsCases = {
    // The attribute is no part of what was signed.
    {"a read-only signed file",
     [](Installed& i) {
       fs::permissions(i.folder / "bin/a.dll",
                       fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                       fs::perm_options::remove);
     },
     "ok"},
    {"the folder is missing", [](Installed& i) { fs::remove_all(i.folder); },
     platform::os_error(kFileNotFound).message()},
};

INSTANTIATE_TEST_SUITE_P(Cases, VerifyInstalledFiles, testing::ValuesIn(kWindowsCases),
                         test::NameOfCase());

}  // namespace
}  // namespace orvo::core
