#include "platform/codepage.h"

#include <gtest/gtest.h>

#include "row_names.h"

#include <cctype>

namespace {

using namespace std::string_literals;

// ASCII text is the same narrow on every platform; a conversion stops at the
// first NUL.
TEST(CodePage, AsciiConvertsUpToNul) {
  for (const auto& [wide, narrow] : {std::pair<std::u16string, std::string>{u"", ""},
                                     {u"INSTALL_TR0107.INF", "INSTALL_TR0107.INF"},
                                     {u"de-de\0tail"s, "de-de"}}) {
    EXPECT_EQ(platform::toNarrow(wide), narrow);
    EXPECT_EQ(platform::toWide(narrow), wide.substr(0, wide.find(u'\0')));
  }
}

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

struct Utf8Case {
  const char* what;
  std::u16string wide;
  std::string utf8;
  bool back;  // fromUtf8(utf8) gives `wide` again
};

const Utf8Case kUtf8Cases[] = {
    {"Cyrillic, accents and beyond the BMP", u"\u041f\u0430\u043a\u0435\u0442 \u00e9 \U0001F600",
     "\xd0\x9f\xd0\xb0\xd0\xba\xd0\xb5\xd1\x82 \xc3\xa9 \xf0\x9f\x98\x80", true},
    {"NUL is text like any other", u"a\0b"s, "a\0b"s, true},
    {"bytes outside UTF-8 come back", u"caf\xdce9 \xdcc0\xdcaf", "caf\xe9 \xc0\xaf", true},
    {"other unpaired surrogates become U+FFFD", u"\xd800 \xdfff \xdc7f \xdd00",
     "\xef\xbf\xbd \xef\xbf\xbd \xef\xbf\xbd \xef\xbf\xbd", false},
};

class Utf8Text : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Text, IsTheSameOnEveryPlatform) {
  EXPECT_EQ(platform::toUtf8(GetParam().wide), GetParam().utf8);
  if (GetParam().back) {
    EXPECT_EQ(platform::fromUtf8(GetParam().utf8), GetParam().wide);
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf8Text, testing::ValuesIn(kUtf8Cases), testing_support::ByWhat());

}  // namespace
