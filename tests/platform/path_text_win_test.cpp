// Windows names are UTF-16: one with an unpaired surrogate has no exact text,
// only a display form.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/path_text.hpp"

namespace orvo::platform {
namespace {

TEST(PathTextWinTest, UnpairedSurrogatesHaveOnlyADisplayForm) {
  struct Case {
    std::wstring native;
    std::optional<std::string> text;
    std::string display;
  };
  const Case cases[] = {
      {L"bin\\a.dll", "bin\\a.dll", "bin\\a.dll"},
      {L"caf\u00E9", "caf\xC3\xA9", "caf\xC3\xA9"},
      {std::wstring{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
      {std::wstring{L'a', 0xD800, L'b'}, std::nullopt, "a\xEF\xBF\xBD" "b"},
      {std::wstring{0xDC00}, std::nullopt, "\xEF\xBF\xBD"},
      {std::wstring{0xDE00, 0xD83D}, std::nullopt, "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.display);
    EXPECT_EQ(path_utf8(std::filesystem::path(c.native)), c.text);
    EXPECT_EQ(path_display(std::filesystem::path(c.native)), c.display);
  }
}

}  // namespace
}  // namespace orvo::platform
