#include "orvo-release/options.hpp"

#include <algorithm>

namespace orvo::release_tool {

core::Result<Options> parse_options(std::span<const std::string> args,
                                    std::initializer_list<std::string_view> names,
                                    std::size_t operand_count) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!arg.starts_with("--")) {
      options.operands.push_back(arg);
      continue;
    }
    const std::string name = arg.substr(2);
    if (std::ranges::find(names, name) == names.end()) return core::fail("unknown option " + arg);
    if (i + 1 == args.size()) return core::fail("option " + arg + " needs a value");
    if (!options.values.emplace(name, args[++i]).second) {
      return core::fail("option " + arg + " is given twice");
    }
  }
  for (std::string_view name : names) {
    if (!options.values.contains(name)) return core::fail("missing option --" + std::string(name));
  }
  if (options.operands.size() != operand_count) {
    return core::fail("expected " + std::to_string(operand_count) + " argument" +
                      (operand_count == 1 ? "" : "s") + " besides the options, got " +
                      std::to_string(options.operands.size()));
  }
  return options;
}

std::optional<Options> command_options(const Invocation& invocation, std::string_view command,
                                       std::initializer_list<std::string_view> names,
                                       std::size_t operand_count) {
  auto options = parse_options(invocation.args, names, operand_count);
  if (options) return std::move(*options);
  invocation.err << "orvo-release " << command << ": " << options.error().chain_text() << '\n';
  for (const Command& entry : commands()) {
    if (entry.name == command) {
      invocation.err << "usage: orvo-release " << entry.name << ' ' << entry.usage << '\n';
    }
  }
  return std::nullopt;
}

int report_failure(const Invocation& invocation, std::string_view command,
                   const core::Error& error) {
  invocation.err << "orvo-release " << command << ": " << error.chain_text() << '\n';
  return kExitFailure;
}

}  // namespace orvo::release_tool
