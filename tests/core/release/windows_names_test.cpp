// Releases whose names the launcher's path rules accept but Windows cannot
// install side by side: folders that differ only in letter case, and names of
// the short (8.3) form beside names Windows makes short names for.
#include "orvo-release/windows_names.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/release/release_builder.hpp"

namespace orvo::release_tool {
namespace {

TEST(WindowsInstallableNames, RefusesNamesWindowsWouldMakeOne) {
  const std::string refused = "Windows could not install this release: ";
  const std::string short_form =
      "\" has the form of a short name, which Windows may give another entry in its folder";
  const struct {
    const char* name;
    std::vector<std::string> paths;
    std::string outcome;  // empty: accepted
  } cases[] = {
      {"plain release", {"ORVO.Host.exe", "bin/engine.dll", "bin/x.dll", "docs/readme.txt"}, ""},
      {"short form of the host", {"ORVO.Host.exe", "ORVO~2IO.EXE"},
       refused + "\"ORVO~2IO.EXE" + short_form},
      {"short form of a folder", {"LongFolderName/a.txt", "LONG~NYX/b.txt", "ORVO.Host.exe"},
       refused + "\"LONG~NYX" + short_form},
      {"short form deep down", {"ORVO.Host.exe", "lib/engine~1.dll", "lib/engine.core.dll"},
       refused + "\"lib/engine~1.dll" + short_form},
      {"short form among short names", {"ORVO.Host.exe", "lib/A~1.DLL", "lib/B.DLL"}, ""},
      {"tilde in a long name", {"ORVO.Host.exe", "my~long~name.txt"}, ""},
      {"folders differing in case", {"Bin/a.txt", "bin/b.txt", "ORVO.Host.exe"},
       refused + "\"Bin\" and \"bin\" differ only in letter case, which Windows does not tell "
                 "apart"},
      {"subfolders differing in case", {"ORVO.Host.exe", "x/Sub/a", "x/sub/b"},
       refused + "\"x/Sub\" and \"x/sub\" differ only in letter case, which Windows does not "
                 "tell apart"},
      {"a file and a folder differing in case", {"ORVO.Host.exe", "data", "DATA/x"},
       refused + "\"data\" and \"DATA\" differ only in letter case, which Windows does not tell "
                 "apart"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<core::ManifestFile> files;
    for (const std::string& path : c.paths) files.push_back(test::manifest_entry(path, "x"));
    const auto checked = check_windows_names(files);
    EXPECT_EQ(checked ? "" : checked.error().chain_text(), c.outcome);
  }
}

}  // namespace
}  // namespace orvo::release_tool
