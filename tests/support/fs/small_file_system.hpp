// A small file system of our own (tmpfs) mounted on a folder for one test, so
// that a test can fill it. Mounting needs the right to mount (root); when it
// is refused, mounted() is false and the test skips.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace orvo::test {

class SmallFileSystem {
 public:
  SmallFileSystem(const std::filesystem::path& folder, std::uint64_t bytes);
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  ~SmallFileSystem();

  bool mounted() const { return mounted_; }
  const std::string& refusal() const { return refusal_; }

  // Writes a filler file at path so that only about `left` bytes stay free.
  void fill_leaving(const std::filesystem::path& path, std::uint64_t left) const;

 private:
  std::filesystem::path folder_;
  bool mounted_ = false;
  std::string refusal_;
};

}  // namespace orvo::test
