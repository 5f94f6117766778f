#include "platform/codepage.h"

#include <gtest/gtest.h>

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

}  // namespace
