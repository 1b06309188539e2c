// What a program started with CreateProcessW is given: its command line (its
// path, then the arguments, each quoted so that the C runtime of the child
// splits the line back into the same words) and its standard handles.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace orvo::test {

std::wstring command_line(const std::filesystem::path& program,
                          const std::vector<std::string>& args);

// This process's standard input, and output and error to the given handles.
STARTUPINFOW standard_handles(HANDLE out, HANDLE err);

}  // namespace orvo::test
