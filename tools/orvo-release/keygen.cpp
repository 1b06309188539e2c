// orvo-release keygen --out KEYFILE: a new signing key; prints the public key
// text that a launcher build takes as its release key.
#include "orvo-release/command.hpp"
#include "orvo-release/options.hpp"
#include "orvo-release/signing_key.hpp"

namespace orvo::release_tool {

int run_keygen(const Invocation& invocation) {
  const auto options = command_options(invocation, "keygen", {"out"}, 0);
  if (!options) return kExitUsage;
  const auto key = SigningKey::generate();
  if (!key) return report_failure(invocation, "keygen", key.error());
  if (auto saved = save_signing_key((*options)["out"], *key); !saved) {
    return report_failure(invocation, "keygen", saved.error());
  }
  invocation.out << key->public_key_hex() << '\n';
  return kExitSuccess;
}

}  // namespace orvo::release_tool
