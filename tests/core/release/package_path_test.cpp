#include <gtest/gtest.h>

#include <string>

#include "core/release/package_path.hpp"

namespace orvo::core {
namespace {

struct PathCase {
  std::string path;
  std::string error;  // empty: accepted
};

class PackagePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(PackagePathTest, GivesItsVerdict) {
  const PathCase& c = GetParam();
  auto result = check_package_path(c.path);
  if (c.error.empty()) {
    EXPECT_TRUE(result.has_value()) << c.path << ": " << result.error().chain_text();
  } else {
    ASSERT_FALSE(result.has_value()) << c.path;
    EXPECT_EQ(result.error().chain_text(), c.error) << c.path;
    EXPECT_EQ(result.error().cause(), nullptr);
  }
}

const std::string kUnsupported = "Unsupported package path";
const std::string kUnsafe = "Unsafe package path";
const std::string kComponent = "Unsafe package path component";
const std::string kAmbiguous = "Ambiguous Windows package path";
const std::string kFilename = "Unsafe Windows filename";
const std::string kReserved = "Reserved Windows filename";
const std::string kLauncher = "Reserved launcher filename";

INSTANTIATE_TEST_SUITE_P(
    Lengths, PackagePathTest,
    ::testing::Values(PathCase{"ORVO.Host.exe", ""}, PathCase{std::string(200, 'a'), ""},
                      PathCase{std::string(99, 'a') + "/" + std::string(100, 'b'), ""},
                      PathCase{std::string(201, 'a'), kUnsupported}, PathCase{"", kUnsupported},
                      PathCase{"caf\xC3\xA9.txt", kUnsupported}, PathCase{"a/\x80", kUnsupported},
                      PathCase{std::string(201, '\\'), kUnsupported}));

INSTANTIATE_TEST_SUITE_P(
    Separators, PackagePathTest,
    ::testing::Values(PathCase{"/etc/passwd", kUnsafe}, PathCase{"bin\\x.dll", kUnsafe},
                      PathCase{"a/b\\", kUnsafe}, PathCase{"/", kUnsafe},
                      // The backslash is found before any component is looked at.
                      PathCase{"../x\\y", kUnsafe}, PathCase{"bin/", kComponent},
                      PathCase{"a//b", kComponent}, PathCase{"./a", kComponent},
                      PathCase{"a/../b", kComponent}, PathCase{"..", kComponent},
                      PathCase{"bin/lib/x.dll", ""}));

INSTANTIATE_TEST_SUITE_P(
    WindowsNames, PackagePathTest,
    ::testing::Values(PathCase{"readme.", kAmbiguous}, PathCase{"docs /a", kAmbiguous},
                      PathCase{"a/b ", kAmbiguous}, PathCase{".config", ""},
                      PathCase{"C:x", kFilename}, PathCase{"a\tb", kFilename},
                      PathCase{std::string("a\0b", 3), kFilename}, PathCase{"a\x1F", kFilename},
                      PathCase{"a\x7F", kFilename}, PathCase{"x<y", kFilename},
                      PathCase{"x>y", kFilename}, PathCase{"x\"y", kFilename},
                      PathCase{"x|y", kFilename}, PathCase{"x?y", kFilename},
                      PathCase{"x*y", kFilename}));

INSTANTIATE_TEST_SUITE_P(
    Devices, PackagePathTest,
    ::testing::Values(PathCase{"con", kReserved}, PathCase{"Con.txt", kReserved},
                      PathCase{"NUL .log", kReserved}, PathCase{"com1.dll", kReserved},
                      PathCase{"LPT9", kReserved}, PathCase{"com0", kReserved},
                      PathCase{"conout$", kReserved}, PathCase{"CONIN$.x", kReserved},
                      PathCase{"prn", kReserved}, PathCase{"aux.tar.gz", kReserved},
                      PathCase{"sub/dir/nul", kReserved}, PathCase{"COM10", ""},
                      PathCase{"CONSOLE", ""}, PathCase{"aux_x", ""}, PathCase{"lpt", ""},
                      PathCase{"com", ""}, PathCase{"COM\xB9", kUnsupported}));

INSTANTIATE_TEST_SUITE_P(
    LauncherNames, PackagePathTest,
    ::testing::Values(PathCase{".orvo-manifest.json", kLauncher},
                      PathCase{".ORVO-working", kLauncher}, PathCase{"sub/.Orvo-x", kLauncher},
                      PathCase{".orvo-", kLauncher}, PathCase{".orvo", ""},
                      PathCase{"x.orvo-y", ""}, PathCase{".orvo-/x", kLauncher}));

// The first failing component decides, whatever later components hold.
INSTANTIATE_TEST_SUITE_P(
    FirstFailureWins, PackagePathTest,
    ::testing::Values(PathCase{"dir./con", kAmbiguous}, PathCase{"con/dir.", kReserved},
                      PathCase{"a:b/.orvo-x", kFilename}, PathCase{".orvo-x/a:b", kLauncher},
                      PathCase{"ok/../con", kComponent}));

}  // namespace
}  // namespace orvo::core
