#include <stdlib.h>

#include "support/fs/scoped_variable.hpp"

namespace orvo::test {

const char* const kTempFolderVariable = "TMPDIR";

void set_variable(const char* name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

}  // namespace orvo::test
