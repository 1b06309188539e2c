// Bind mounts and atomic swaps of entries, for tests of code that must see a
// mount point as a link and must not be fooled by a folder swapped under it.
#pragma once

#include <filesystem>
#include <string>

namespace orvo::test {

// Mounts source over target for the value's lifetime. Mounting needs rights a
// test may lack: mounted() says whether it worked, and error() why not.
class BindMount {
 public:
  BindMount(const std::filesystem::path& source, const std::filesystem::path& target);
  BindMount(BindMount&& other) noexcept;
  BindMount& operator=(BindMount&&) = delete;
  BindMount(const BindMount&) = delete;
  BindMount& operator=(const BindMount&) = delete;
  ~BindMount();

  bool mounted() const { return !target_.empty(); }
  const std::string& error() const { return error_; }

 private:
  std::filesystem::path target_;
  std::string error_;
};

// Exchanges the two entries in one step (either may be a link); false when
// the file system cannot.
bool exchange_entries(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace orvo::test
