// A file or folder held open by someone else, as a scanner, a backup program
// or an editor holds it on Windows: the sharing it allows decides which other
// openings succeed while it is held. Windows has no permission bits that a
// test could take away; a held entry is the real condition that keeps a
// program from reading a file or listing a folder.
#pragma once

#include <filesystem>

namespace orvo::test {

enum class Sharing {
  None,      // no other opening succeeds, not even to read or to list
  ReadOnly,  // others may open it to read; nobody may write, replace or delete it
};

class HeldOpen {
 public:
  // Fails the test when the entry cannot be opened.
  HeldOpen(const std::filesystem::path& path, Sharing sharing);
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  ~HeldOpen();

 private:
  void* handle_;
};

}  // namespace orvo::test
