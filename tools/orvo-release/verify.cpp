// orvo-release verify --key HEX ENVELOPE: verify_release exactly as the
// launcher runs it; prints the release's version, sequence and file count.
#include "core/release_encoding.hpp"
#include "core/verify_release.hpp"
#include "orvo-release/command.hpp"
#include "orvo-release/file_io.hpp"
#include "orvo-release/options.hpp"

namespace orvo::release_tool {

int run_verify(const Invocation& invocation) {
  const auto options = command_options(invocation, "verify", {"key"}, 1);
  if (!options) return kExitUsage;
  auto key = core::decode_hex((*options)["key"]);
  if (!key || key->size() != 32) {
    return report_failure(invocation, "verify",
                          core::Error("--key must be the 64 hexadecimal digits of a release key"));
  }
  // One byte beyond the limit is enough for verify_release to refuse the size.
  auto envelope = read_file_limited(options->operands[0], core::kMaxEnvelopeBytes);
  if (!envelope) return report_failure(invocation, "verify", envelope.error());

  auto manifest = core::verify_release(
      std::as_bytes(std::span(envelope->data(), envelope->size())),
      std::span<const unsigned char, 32>(reinterpret_cast<const unsigned char*>(key->data()), 32),
      false);
  if (!manifest) return report_failure(invocation, "verify", manifest.error());
  invocation.out << "version " << manifest->version << '\n'
                 << "sequence " << manifest->sequence << '\n'
                 << "files " << manifest->files.size() << '\n';
  return kExitSuccess;
}

}  // namespace orvo::release_tool
