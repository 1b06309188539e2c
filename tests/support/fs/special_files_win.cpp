#include "support/fs/special_files.hpp"

namespace orvo::test {

void run_bound_by_permissions(const std::function<void()>& body) { body(); }

}  // namespace orvo::test
