// Runs code that must come back within a bound, such as a call against a
// frozen X server, without letting a test hang when it does not.
#pragma once

#include <chrono>
#include <functional>

namespace orvo::test {

// Runs body on a thread of its own and waits at most bound for it. When it is
// late, release is called (it must let body finish, by thawing the server for
// one) and body's end is awaited. True when body ended within the bound.
bool ends_within(std::chrono::milliseconds bound, std::function<void()> body,
                 const std::function<void()>& release);

}  // namespace orvo::test
