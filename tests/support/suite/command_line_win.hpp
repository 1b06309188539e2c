// The command line of a program started with CreateProcessW: its path, then
// the arguments, each quoted so that the C runtime of the child splits the
// line back into the same words.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace orvo::test {

std::wstring command_line(const std::filesystem::path& program,
                          const std::vector<std::string>& args);

}  // namespace orvo::test
