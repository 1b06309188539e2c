// The argument vector of a program started with posix_spawn: its path, then
// the arguments, then a null pointer; valid while the value lives.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace orvo::test {

class ArgumentVector {
 public:
  ArgumentVector(const std::filesystem::path& program, const std::vector<std::string>& args)
      : words_{program.string()} {
    words_.insert(words_.end(), args.begin(), args.end());
    for (std::string& word : words_) pointers_.push_back(word.data());
    pointers_.push_back(nullptr);
  }
  ArgumentVector(const ArgumentVector&) = delete;
  ArgumentVector& operator=(const ArgumentVector&) = delete;

  char* const* get() const { return pointers_.data(); }

 private:
  std::vector<std::string> words_;
  std::vector<char*> pointers_;
};

}  // namespace orvo::test
