// orvo-release sign --key KEYFILE MANIFEST.json: the signed envelope of the
// manifest's bytes as they are, on standard output. A manifest the launcher
// would refuse is not signed.
#include "core/release/release_records.hpp"
#include "core/release/verify_release.hpp"
#include "orvo-release/command.hpp"
#include "orvo-release/file_io.hpp"
#include "orvo-release/options.hpp"
#include "orvo-release/release_writer.hpp"

namespace orvo::release_tool {
namespace {

int refuse_size(const Invocation& invocation) {
  return report_failure(invocation, "sign",
                        core::Error("the signed envelope would exceed 4,194,304 bytes")
                            .wrap("the launcher would refuse this release"));
}

}  // namespace

int run_sign(const Invocation& invocation) {
  const auto options = command_options(invocation, "sign", {"key"}, 1);
  if (!options) return kExitUsage;
  const std::string& path = options->operands[0];
  auto key = load_signing_key((*options)["key"]);
  if (!key) return report_failure(invocation, "sign", key.error());

  // A payload never outgrows the envelope that carries it; a longer one is
  // read only in part and must not be judged as if it ended there.
  auto json = read_file_limited(path, core::kMaxEnvelopeBytes);
  if (!json) return report_failure(invocation, "sign", json.error());
  if (json->size() > core::kMaxEnvelopeBytes) return refuse_size(invocation);
  auto manifest = core::read_manifest(*json);
  if (!manifest) {
    return report_failure(invocation, "sign",
                          manifest.error().wrap(path + " is not a release manifest"));
  }
  if (auto checked = core::check_manifest(*manifest, false); !checked) {
    return report_failure(invocation, "sign",
                          checked.error().wrap("the launcher would refuse this release"));
  }
  const std::string envelope =
      envelope_json(std::as_bytes(std::span(json->data(), json->size())), *key);
  if (envelope.size() > core::kMaxEnvelopeBytes) return refuse_size(invocation);
  invocation.out << envelope << '\n';
  return kExitSuccess;
}

}  // namespace orvo::release_tool
