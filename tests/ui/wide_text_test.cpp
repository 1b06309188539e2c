#include "ui/wide_text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvo::ui {
namespace {

struct WideCase {
  std::string label;
  std::string text;
  std::vector<char16_t> units;
};

class ToWideNull : public testing::TestWithParam<WideCase> {};

TEST_P(ToWideNull, GivesTheUtf16UnitsAndOneZero) {
  EXPECT_EQ(to_wide_null(GetParam().text), GetParam().units);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ToWideNull,
    testing::Values(
        WideCase{"Empty", "", {0}},
        WideCase{"Ellipsis",
                 "Preparing ORVO Support\u2026",
                 {u'P', u'r', u'e', u'p', u'a', u'r', u'i', u'n', u'g', u' ', u'O', u'R', u'V',
                  u'O', u' ', u'S', u'u', u'p', u'p', u'o', u'r', u't', 0x2026, 0}},
        WideCase{"TwoAndThreeBytes", "\u00e9\u20ac", {0x00E9, 0x20AC, 0}},
        WideCase{"AboveBmpIsASurrogatePair", "a\U0001F600b", {u'a', 0xD83D, 0xDE00, u'b', 0}},
        WideCase{"HighestCodePoint", "\U0010FFFF", {0xDBFF, 0xDFFF, 0}},
        WideCase{"EmbeddedNulStays", std::string("a\0b", 3), {u'a', 0, u'b', 0}},
        WideCase{"InvalidBytesBecomeReplacements", "a\xff\xc3", {u'a', 0xFFFD, 0xFFFD, 0}},
        WideCase{"EncodedSurrogateIsReplaced", "\xed\xa0\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0}}),
    [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace orvo::ui
