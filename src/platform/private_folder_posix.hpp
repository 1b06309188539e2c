// A folder only this user can write, where the session's names live and where
// the log goes when no cache root can be found. Other users on the machine
// must not be able to plant files or links in it, as they can in a shared
// /tmp.
#pragma once

#include <filesystem>

#include "base/error.hpp"

namespace orvo::platform {

// XDG_RUNTIME_DIR when it names a usable folder of this user's, else the
// per-user folder below, made when missing. A folder that fails the check is
// an error, never replaced by a shared one.
core::Result<std::filesystem::path> private_folder();

// "orvo-<uid>" in TMPDIR when that is absolute, else in /tmp; made with mode
// 0700.
std::filesystem::path per_user_folder();

}  // namespace orvo::platform
