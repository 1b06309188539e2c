// The commands of orvo-release. Each lives in a file of its own and has one
// line in the table of command_table.cpp; run_tool picks one by its name.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace orvo::release_tool {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct Invocation {
  std::span<const std::string> args;  // after the command's name
  std::ostream& out;
  std::ostream& err;
};

struct Command {
  std::string_view name;
  std::string_view usage;  // the arguments after the name
  int (*run)(const Invocation&);
};

int run_keygen(const Invocation& invocation);
int run_pack(const Invocation& invocation);
int run_sign(const Invocation& invocation);
int run_verify(const Invocation& invocation);
int run_check(const Invocation& invocation);

std::span<const Command> commands();

// The whole program: args are everything after the program's name.
int run_tool(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace orvo::release_tool
