// The arguments of one command: options written "--name value", every one of
// them required and given once, and a fixed number of other arguments.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "orvo-release/command.hpp"

namespace orvo::release_tool {

struct Options {
  std::map<std::string, std::string, std::less<>> values;  // by name, without "--"
  std::vector<std::string> operands;

  const std::string& operator[](std::string_view name) const { return values.find(name)->second; }
};

core::Result<Options> parse_options(std::span<const std::string> args,
                                    std::initializer_list<std::string_view> names,
                                    std::size_t operand_count);

// Parses the invocation's arguments; on failure prints the error and the
// command's usage and gives nothing.
std::optional<Options> command_options(const Invocation& invocation, std::string_view command,
                                       std::initializer_list<std::string_view> names,
                                       std::size_t operand_count);

// Prints "orvo-release <command>: <error chain>" and gives kExitFailure.
int report_failure(const Invocation& invocation, std::string_view command,
                   const core::Error& error);

}  // namespace orvo::release_tool
