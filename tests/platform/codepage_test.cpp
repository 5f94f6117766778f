#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

struct RoundTripCase {
  std::u16string wide;
  std::string narrow;  // for ASCII text, the same on every platform
};

const RoundTripCase kAsciiCases[] = {
    {u"", ""},
    {u"INSTALL_TR0107.INF", "INSTALL_TR0107.INF"},
    {u"de-de\0tail"s, "de-de"},  // conversion stops at the first NUL
};

class CodePageAscii : public testing::TestWithParam<RoundTripCase> {};

TEST_P(CodePageAscii, ConvertsUpToNul) {
  EXPECT_EQ(platform::toNarrow(GetParam().wide), GetParam().narrow);
  EXPECT_EQ(platform::toWide(platform::toNarrow(GetParam().wide)),
            GetParam().wide.substr(0, GetParam().wide.find(u'\0')));
}

INSTANTIATE_TEST_SUITE_P(Texts, CodePageAscii, testing::ValuesIn(kAsciiCases));

TEST(CodePage, LatinLettersSurviveTheRoundTrip) {
  const std::u16string text = u"d\u00e9-\u00fc\u00df";
  EXPECT_EQ(platform::toWide(platform::toNarrow(text)), text);
}

TEST(CodePage, UnpairedSurrogateBecomesADefaultCharacter) {
  const std::string narrow = platform::toNarrow(u"a\xD800z");
  EXPECT_TRUE(narrow.starts_with("a"));
  EXPECT_TRUE(narrow.ends_with("z"));
  EXPECT_EQ(narrow.size(), 3u);
}

}  // namespace
