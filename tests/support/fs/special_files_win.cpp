#include "support/fs/special_files.hpp"

#include "platform/win32.hpp"

namespace orvo::test {

const int kEntryExistsCode = ERROR_ALREADY_EXISTS;

void run_bound_by_permissions(const std::function<void()>& body) { body(); }

}  // namespace orvo::test
