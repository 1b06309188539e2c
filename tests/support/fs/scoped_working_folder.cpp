#include "support/fs/scoped_working_folder.hpp"

#include <gtest/gtest.h>

namespace orvo::test {

ScopedWorkingFolder::ScopedWorkingFolder(const std::filesystem::path& folder)
    : saved_(std::filesystem::current_path()) {
  std::error_code error;
  std::filesystem::current_path(folder, error);
  if (error) ADD_FAILURE() << "cannot change to " << folder << ": " << error.message();
}

ScopedWorkingFolder::~ScopedWorkingFolder() {
  std::error_code error;
  std::filesystem::current_path(saved_, error);
  if (error) ADD_FAILURE() << "cannot change back to " << saved_ << ": " << error.message();
}

}  // namespace orvo::test
