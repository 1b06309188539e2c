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

void print_usage(std::ostream& stream) {
  stream << "usage:\n";
  for (const Command& command : kCommands) {
    stream << "  orvo-release " << command.name << ' ' << command.usage << '\n';
  }
  stream << "  orvo-release --help\n";
}

bool asks_for_help(std::string_view arg) { return arg == "--help" || arg == "-h"; }

}  // namespace

std::span<const Command> commands() { return kCommands; }

int run_tool(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    print_usage(err);
    return kExitUsage;
  }
  // Asked for, the usage is the program's output and no error.
  if (asks_for_help(args[0])) {
    print_usage(out);
    return kExitSuccess;
  }
  for (const Command& command : kCommands) {
    if (args[0] == command.name) return command.run(Invocation{args.subspan(1), out, err});
  }
  err << "orvo-release: unknown command " << args[0] << '\n';
  print_usage(err);
  return kExitUsage;
}

}  // namespace orvo::release_tool
