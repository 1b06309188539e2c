#include "support/fs/scoped_variable.hpp"

#include <stdlib.h>

namespace orvo::test {
namespace {

// _putenv_s changes the C runtime's copy and the process environment both, so
// getenv (curl's proxies) and GetEnvironmentVariableW (the platform layer)
// agree. An empty value removes the variable there, so a variable set to ""
// cannot be made: the tests that need one are POSIX-only.
void put(const std::string& name, const std::optional<std::string>& value) {
  ::_putenv_s(name.c_str(), value ? value->c_str() : "");
}

}  // namespace

ScopedVariable::ScopedVariable(const char* name, const std::optional<std::string>& value)
    : name_(name) {
  if (const char* old = ::getenv(name)) saved_ = old;
  put(name_, value);
}

ScopedVariable::~ScopedVariable() { put(name_, saved_); }

}  // namespace orvo::test
