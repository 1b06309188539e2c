#include <stdlib.h>

#include "support/fs/scoped_variable.hpp"

namespace orvo::test {

// GetTempPathW reads TMP first.
const char* const kTempFolderVariable = "TMP";

// _putenv_s changes the C runtime's copy and the process environment both, so
// getenv (curl's proxies) and GetEnvironmentVariableW (the platform layer)
// agree. An empty value removes the variable there, so a variable set to ""
// cannot be made: the tests that need one are POSIX-only.
void set_variable(const char* name, const std::optional<std::string>& value) {
  ::_putenv_s(name, value ? value->c_str() : "");
}

}  // namespace orvo::test
