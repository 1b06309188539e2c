// Bytes that do not compress, for releases whose package must be about as
// large as their files; the same seed gives the same bytes.
#pragma once

#include <cstddef>
#include <string>

namespace orvo::test {

std::string random_bytes(std::size_t size, unsigned seed);

}  // namespace orvo::test
