// A child program in a process group of its own, so that it can be killed
// together with every process it started (a host, say), at any instant.
// Its standard output and error are discarded.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orvo::test {

class ChildGroup {
 public:
  // Fails the test when the program cannot be started.
  ChildGroup(const std::filesystem::path& program, const std::vector<std::string>& args);
  ChildGroup(const ChildGroup&) = delete;
  ChildGroup& operator=(const ChildGroup&) = delete;
  ~ChildGroup();  // kills the group

  // Whether the child has ended by itself (it is then reaped).
  bool exited();
  // Kills every process of the group at once; the child is reaped.
  void kill();

 private:
  struct Child;
  std::unique_ptr<Child> child_;
};

}  // namespace orvo::test
