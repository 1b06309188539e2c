// orvo-release verify --key HEX ENVELOPE: verify_release exactly as the
// launcher runs it; prints the release's version, sequence and file count.
#include "orvo-release/command.hpp"
#include "orvo-release/options.hpp"
#include "orvo-release/verified_release.hpp"

namespace orvo::release_tool {

int run_verify(const Invocation& invocation) {
  const auto options = command_options(invocation, "verify", {"key"}, 1);
  if (!options) return kExitUsage;
  auto manifest = read_verified_release((*options)["key"], options->operands[0]);
  if (!manifest) return report_failure(invocation, "verify", manifest.error());
  invocation.out << "version " << manifest->version << '\n'
                 << "sequence " << manifest->sequence << '\n'
                 << "files " << manifest->files.size() << '\n';
  return kExitSuccess;
}

}  // namespace orvo::release_tool
