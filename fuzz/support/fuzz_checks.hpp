// What a fuzz target does when a property fails: it says which one on
// standard error and aborts, so that libFuzzer keeps the input as a crash.
#pragma once

#include <string_view>

namespace orvo::fuzz {

[[noreturn]] void property_failed(std::string_view what, std::string_view detail = {});

}  // namespace orvo::fuzz
