// Runs a program as a child process to its end, with what it wrote to its
// standard output and standard error.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace orvo::test {

struct ProgramOutput {
  int exit_code = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Fails the test when the program cannot be started. On Windows the output is
// read to the end of its pipes: a process that the program leaves running
// with them open holds the call.
ProgramOutput run_program(const std::filesystem::path& program,
                          const std::vector<std::string>& args);

// The output with the line ends of a text-mode console program on Windows
// (CRLF) read as plain line ends, for output that is compared as lines.
inline ProgramOutput text_lines_of(ProgramOutput output) {
  std::erase(output.out, '\r');
  std::erase(output.err, '\r');
  return output;
}

}  // namespace orvo::test
