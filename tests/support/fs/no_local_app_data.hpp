// Unsets, for the length of a test, every variable from which the user's
// local application-data folder can be found: LOCALAPPDATA, and the user's
// data folder that stands in for it on Linux.
#pragma once

#include <optional>

#include "support/fs/scoped_variable.hpp"

namespace orvo::test {

struct NoLocalAppData {
  ScopedVariable local{"LOCALAPPDATA", std::nullopt};
  ScopedVariable data_home{"XDG_DATA_HOME", std::nullopt};
  ScopedVariable home{"HOME", std::nullopt};
};

}  // namespace orvo::test
