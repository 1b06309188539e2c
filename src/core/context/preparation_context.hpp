// The settings of one preparation attempt, filled at its start and lent to the
// steps that need them.
#pragma once

#include <array>
#include <filesystem>
#include <string>

namespace orvo::core {

struct PreparationContext {
  std::string manifest_url;
  std::filesystem::path cache_root;
  std::array<unsigned char, 32> release_key{};  // the decoded Ed25519 release verification key
  bool allow_loopback_http = false;
};

}  // namespace orvo::core
