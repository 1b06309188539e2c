#include "support/fs/scoped_variable.hpp"

#include <stdlib.h>

namespace orvo::test {

ScopedVariable::ScopedVariable(const char* name, const std::optional<std::string>& value)
    : name_(name) {
  if (const char* old = ::getenv(name)) saved_ = old;
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedVariable::~ScopedVariable() {
  if (saved_) {
    ::setenv(name_.c_str(), saved_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

}  // namespace orvo::test
