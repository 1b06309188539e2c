// Inputs of about 1 MiB each, built to stress the URL parser's long-input
// paths (paths, dot segments, user info, hosts, ports, whitespace trimming),
// shared by the robustness test and the parse benchmark.
#pragma once

#include <string>
#include <vector>

namespace orvo::test {

struct LongUrl {
  std::string label;
  std::string text;
};

std::vector<LongUrl> long_urls();

}  // namespace orvo::test
