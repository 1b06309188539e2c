// Hashing and entry guard cases of Windows: a device, and the system's own
// error texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/cache/installed_files.hpp"
#include "core/cache/plain_files.hpp"
#include "hash_file_cases.hpp"
#include "platform/os_error.hpp"

namespace orvo::core {

namespace fs = std::filesystem;

std::vector<EntryCase> system_guard_cases(const fs::path&) {
  constexpr int kFileNotFound = 2;
  const std::string missing = platform::os_error(kFileNotFound).message();
  return {{"nothing", nullptr, missing, missing}};
}

// Windows has no link that Wine makes, nor FIFOs: nothing but a folder takes
// a file's place here.
std::vector<EntryCase> system_opening_cases(const fs::path&) { return {}; }

namespace {

TEST(EntryGuardsWin, RefuseADeviceAndHashNeverOpensIt) {
  // A device reached by its own name: a plain "NUL" is a file in the working folder.
  const fs::path device = "\\\\.\\NUL";
  // Refused by the system's look at the entry, before anything opens it.
  constexpr int kBadDeviceType = 66;
  const std::string refused = platform::os_error(kBadDeviceType).message();
  EXPECT_EQ(outcome_of(require_plain_folder(device)), refused);
  EXPECT_EQ(outcome_of(hash_file(device, CancelFlag())), refused);
}

}  // namespace
}  // namespace orvo::core
