// Sets an environment variable (nullopt: unsets it) for the length of a test
// and puts the old value back afterwards.
#pragma once

#include <optional>
#include <string>

namespace orvo::test {

// Sets the variable for this process (nullopt: unsets it).
void set_variable(const char* name, const std::optional<std::string>& value);

// The variable that names the user's temporary folder.
extern const char* const kTempFolderVariable;

class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::optional<std::string>& value);
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;
  ~ScopedVariable();

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

}  // namespace orvo::test
