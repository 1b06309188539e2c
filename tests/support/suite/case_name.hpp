// Test names for tables of cases: the letters and digits of a case's description.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace orvo::test {

std::string case_name(std::string_view description);

// For INSTANTIATE_TEST_SUITE_P over structs whose `name` describes the case.
struct NameOfCase {
  template <class Case>
  std::string operator()(const testing::TestParamInfo<Case>& info) const {
    return case_name(info.param.name);
  }
};

}  // namespace orvo::test
