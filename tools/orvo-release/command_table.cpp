#include <array>

#include "orvo-release/command.hpp"

namespace orvo::release_tool {
namespace {

constexpr std::array kCommands = {
    Command{"keygen", "--out KEYFILE", &run_keygen},
    Command{"pack", "--key KEYFILE --sequence N --version V --url URL --out DIR FOLDER", &run_pack},
    Command{"sign", "--key KEYFILE MANIFEST.json", &run_sign},
    Command{"verify", "--key HEX ENVELOPE", &run_verify},
    Command{"check", "--key HEX ENVELOPE PACKAGE", &run_check},
};

void print_usage(std::ostream& err) {
  err << "usage:\n";
  for (const Command& command : kCommands) {
    err << "  orvo-release " << command.name << ' ' << command.usage << '\n';
  }
}

}  // namespace

std::span<const Command> commands() { return kCommands; }

int run_tool(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    print_usage(err);
    return kExitUsage;
  }
  for (const Command& command : kCommands) {
    if (args[0] == command.name) return command.run(Invocation{args.subspan(1), out, err});
  }
  err << "orvo-release: unknown command " << args[0] << '\n';
  print_usage(err);
  return kExitUsage;
}

}  // namespace orvo::release_tool
