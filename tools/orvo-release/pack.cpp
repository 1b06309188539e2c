// orvo-release pack --key KEYFILE --sequence N --version V --url URL --out DIR FOLDER:
// DIR/host.zip and DIR/latest.json from FOLDER.
#include <charconv>

#include "orvo-release/command.hpp"
#include "orvo-release/options.hpp"
#include "orvo-release/pack_release.hpp"

namespace orvo::release_tool {
namespace {

core::Result<std::uint64_t> parse_sequence(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return core::fail("--sequence must be a decimal whole number of at most 64 bits");
  }
  return value;
}

}  // namespace

int run_pack(const Invocation& invocation) {
  const auto options =
      command_options(invocation, "pack", {"key", "sequence", "version", "url", "out"}, 1);
  if (!options) return kExitUsage;
  const Options& o = *options;
  auto sequence = parse_sequence(o["sequence"]);
  if (!sequence) return report_failure(invocation, "pack", sequence.error());
  auto key = load_signing_key(o["key"]);
  if (!key) return report_failure(invocation, "pack", key.error());

  auto release = pack_release(PackRequest{.folder = o.operands[0],
                                          .out_dir = o["out"],
                                          .sequence = *sequence,
                                          .version = o["version"],
                                          .package_url = o["url"]},
                              *key);
  if (!release) return report_failure(invocation, "pack", release.error());
  invocation.out << "wrote " << release->package.string() << " (" << release->manifest.package_size
                 << " bytes, " << release->manifest.files.size() << " files) and "
                 << release->envelope_file.string() << '\n';
  return kExitSuccess;
}

}  // namespace orvo::release_tool
