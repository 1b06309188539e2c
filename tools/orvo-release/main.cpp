// orvo-release: makes signing keys, packs and signs releases, and verifies
// them as the launcher does.
#include <iostream>
#include <string>
#include <vector>

#include "orvo-release/command.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return orvo::release_tool::run_tool(args, std::cout, std::cerr);
}
