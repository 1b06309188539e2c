// A fresh folder under the system's temporary folder, deleted with its contents
// when the value goes away.
#pragma once

#include <filesystem>
#include <string_view>

namespace orvo::test {

class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Writes bytes to a file, creating or replacing it.
void write_file(const std::filesystem::path& path, std::string_view bytes);
// The whole content of a file; fails the test when it cannot be read.
std::string read_file(const std::filesystem::path& path);

}  // namespace orvo::test
