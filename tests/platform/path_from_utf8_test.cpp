// UTF-8 names become paths that name the same text on every system, and
// read back as that text.
#include <gtest/gtest.h>

#include "platform/path_text.hpp"

namespace orvo::platform {
namespace {

TEST(PathFromUtf8Test, TextRoundTrips) {
  for (const std::string text : {"bin/a.dll", "caf\xC3\xA9", "\xF0\x9F\x98\x80.txt", ""}) {
    SCOPED_TRACE(text);
    const std::filesystem::path path = path_from_utf8(text);
    EXPECT_EQ(path_utf8(path), text);
    EXPECT_EQ(path_display(path), text);
  }
}

TEST(PathFromUtf8Test, ANonAsciiNameIsOneElementOfItsOwnText) {
  const std::filesystem::path path = path_from_utf8("dir/caf\xC3\xA9");
  EXPECT_EQ(path_utf8(path.filename()), "caf\xC3\xA9");
  EXPECT_EQ(path_utf8(path.parent_path()), "dir");
}

}  // namespace
}  // namespace orvo::platform
