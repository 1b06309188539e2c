// The names of the threads this process runs now, as the platform layer gave
// them; an unnamed thread counts with an empty name.
#pragma once

#include <string>
#include <vector>

namespace orvo::test {

std::vector<std::string> thread_names();

}  // namespace orvo::test
