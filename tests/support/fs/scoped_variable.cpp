#include "support/fs/scoped_variable.hpp"

#include <cstdlib>

namespace orvo::test {

ScopedVariable::ScopedVariable(const char* name, const std::optional<std::string>& value)
    : name_(name) {
  if (const char* old = std::getenv(name)) saved_ = old;
  set_variable(name, value);
}

ScopedVariable::~ScopedVariable() { set_variable(name_.c_str(), saved_); }

}  // namespace orvo::test
