#include <gtest/gtest.h>

#include "platform/path_text.hpp"

namespace orvo::platform {
namespace {

TEST(PathTextTest, ValidTextPassesAndInvalidIsShownAsReplacement) {
  struct Case {
    std::string native;
    bool valid;
    std::string display;
  };
  const Case cases[] = {
      {"bin/a.dll", true, "bin/a.dll"},
      {"caf\xC3\xA9", true, "caf\xC3\xA9"},
      {"\xF0\x9F\x98\x80", true, "\xF0\x9F\x98\x80"},
      {"a\xFF" "b", false, "a\xEF\xBF\xBD" "b"},
      {"\xC3", false, "\xEF\xBF\xBD"},
      {"\xC0\xAF", false, "\xEF\xBF\xBD\xEF\xBF\xBD"},      // overlong
      {"\xED\xA0\x80", false, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
      {"\xF4\x90\x80\x80", false,
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // above U+10FFFF
  };
  for (const Case& c : cases) {
    const auto text = path_utf8(std::filesystem::path(c.native));
    EXPECT_EQ(text.has_value(), c.valid) << c.display;
    if (c.valid) {
      EXPECT_EQ(*text, c.native);
    }
    EXPECT_EQ(path_display(std::filesystem::path(c.native)), c.display);
  }
}

}  // namespace
}  // namespace orvo::platform
