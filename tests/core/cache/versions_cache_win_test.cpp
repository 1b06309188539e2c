// Versions cache cases of Windows: the system's own error texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/cache/versions_cache.hpp"
#include "platform/os_error.hpp"
#include "support/suite/case_name.hpp"
#include "versions_cache_fixture.hpp"

namespace orvo::core {

namespace fs = std::filesystem;

// Wine makes no Windows link, and every kind of entry it can make is in the shared cases.
std::map<std::string, bool> add_system_entries(Cache&) { return {}; }

namespace {

constexpr int kFileNotFound = 2;

const std::vector<ConfirmCase> kWindowsConfirmCases = {
    {"no versions folder",
     [](Cache& cache) {
       const fs::path folder = cache.install({.name = "a", .marker = std::nullopt});
       fs::rename(cache.versions(), cache.dir / "moved");
       return cache.candidate(folder);
     },
     platform::os_error(kFileNotFound).message(), std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConfirmWorkingVersion, testing::ValuesIn(kWindowsConfirmCases),
                         test::NameOfCase());

}  // namespace
}  // namespace orvo::core
