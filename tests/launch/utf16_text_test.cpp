#include "launch/utf16_text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvo::launch {
namespace {

TEST(Utf16Text, PairsBecomeOneCharacterAndLoneSurrogatesBecomeReplacements) {
  const struct {
    std::u16string units;
    std::string text;
  } cases[] = {
      {u"ORVO Host", "ORVO Host"},
      {u"H\u00f8st \u2713", "H\xc3\xb8st \xe2\x9c\x93"},
      {u"\U0001F600", "\xf0\x9f\x98\x80"},
      {std::u16string(u"a\xD83D"), "a\xef\xbf\xbd"},  // a high surrogate cut off at the end
      {std::u16string(u"\xDE00"
                      u"b"),
       "\xef\xbf\xbd"
       "b"},  // a low surrogate alone
      {std::u16string(u"\xD83D\xD83D\xDE00"), "\xef\xbf\xbd\xf0\x9f\x98\x80"},
      {u"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf16_text(c.units), c.text) << testing::PrintToString(c.text);
  }
}

}  // namespace
}  // namespace orvo::launch
