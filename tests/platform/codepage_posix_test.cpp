// Narrow text here is UTF-8, and bytes that are not UTF-8 survive the round
// trip through wide text, as file names must.
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "row_names.h"

namespace {

struct Utf8Case {
  const char* what;
  std::u16string wide;
  std::string narrow;
};

const Utf8Case kLossless[] = {
    {"one to three bytes", u"\u007f\u0080\u07ff\u0800", "\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80"},
    {"euro and Chinese", u"\u20ac \u4e2d\u6587", "\xe2\x82\xac \xe4\xb8\xad\xe6\x96\x87"},
    {"around the surrogates", u"\ud7ff\ue000\uffff", "\xed\x9f\xbf\xee\x80\x80\xef\xbf\xbf"},
    {"four bytes", u"\U0001F600\U00010000\U0010FFFF",
     "\xf0\x9f\x98\x80\xf0\x90\x80\x80\xf4\x8f\xbf\xbf"},
    // Bytes outside UTF-8, one code unit each: Latin-1 text, stray and
    // missing continuation bytes, an overlong form, an encoded surrogate,
    // beyond U+10FFFF, bytes that never start a sequence.
    {"Latin-1 text", u"caf\xdce9", "caf\xe9"},
    {"stray continuation bytes",
     u"\xdc80\xdcbf"
     u"a",
     "\x80\xbf"
     "a"},
    {"missing continuation bytes", u"\xdce2\xdc82x\xdce2\xdc82", "\xe2\x82x\xe2\x82"},
    {"an overlong form", u"\xdcc0\xdcaf", "\xc0\xaf"},
    {"an encoded surrogate", u"\xdced\xdca0\xdc80", "\xed\xa0\x80"},
    {"beyond U+10FFFF", u"\xdcf4\xdc90\xdc80\xdc80", "\xf4\x90\x80\x80"},
    {"bytes that never start a sequence", u"\xdcf8\xdcff", "\xf8\xff"},
};

class Utf8 : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, ConvertsBothWays) {
  EXPECT_EQ(platform::toNarrow(GetParam().wide), GetParam().narrow);
  EXPECT_EQ(platform::toWide(GetParam().narrow), GetParam().wide);
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf8, testing::ValuesIn(kLossless), testing_support::ByWhat());

TEST(Utf8, SurrogatesThatStandForNoByteBecomeADefaultCharacter) {
  EXPECT_EQ(platform::toNarrow(u"\xd800 \xdbff \xdc7f \xdd00 \xdfff \xd800\xe000"),
            "? ? ? ? ? ?\xee\x80\x80");
}

// A conversion reads its text up to the end of the view or its first NUL,
// never beyond.
TEST(Utf8, StopsAtTheEndOfTheText) {
  EXPECT_EQ(platform::toNarrow(std::u16string_view(u"a\xd800\xdc00", 2)), "a?");
  EXPECT_EQ(platform::toWide(std::string_view("x\xe2\x82\xac", 3)), u"x\xdce2\xdc82");
  EXPECT_EQ(platform::toWide(std::string_view("ab\0cd", 5)), u"ab");
}

}  // namespace
