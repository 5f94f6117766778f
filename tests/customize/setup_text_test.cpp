#include "customize/setup_text.h"

#include "customize/patch_inf.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

struct DecodeCase {
  std::string bytes;
  std::string text;
  bool cutShort;
};

const DecodeCase kDecodeCases[] = {
    {"", "", false},
    {"a\r\nb\r\n", "a\nb\n", false},
    {"a\nb", "a\nb", false},
    {"a\rb", "a\rb", false},      // a lone CR stays
    {"a\r", "a\r", false},        // also at the end
    {"a\r\r\n", "a\r\n", false},  // only the CR right before the LF goes
    {"abc\x1a", "abc", false},    // a final 0x1A ends the text
    {"\x1a", "", false},
    {"ab\x1a"
     "cd",
     "ab", true},  // bytes after it would be lost
    {"abc\x1a\x1a", "abc", true},
    {"ab\0"s, "ab", false},
    {"ab\0cd"s, "ab", true},
    {"a\r\x1a", "a\r", false},
};

class DecodeSetupText : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeSetupText, ReadsAsTextMode) {
  const DecodeCase& c = GetParam();
  const SetupText decoded = decodeSetupText(c.bytes);
  EXPECT_EQ(decoded.text, c.text);
  EXPECT_EQ(decoded.cutShort, c.cutShort);
}

INSTANTIATE_TEST_SUITE_P(Bytes, DecodeSetupText, testing::ValuesIn(kDecodeCases));

struct EncodeCase {
  std::string text;
  std::string bytes;
};

const EncodeCase kEncodeCases[] = {
    {"", ""},
    {"a\nb\n", "a\r\nb\r\n"},
    {"\n\n", "\r\n\r\n"},
    {"a\r\nb", "a\r\r\nb"},  // a CR kept on reading is written as it is
    {"no line end", "no line end"},
};

class EncodeSetupText : public testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeSetupText, WritesAsTextMode) {
  EXPECT_EQ(encodeSetupText(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Texts, EncodeSetupText, testing::ValuesIn(kEncodeCases));

struct SubstitutionCase {
  const char* what;
  std::string text;
  std::int32_t cmdFile;
  std::u16string packageCode;
  std::u16string market;
  bool substituteValues;
  std::u16string barPc;
  std::string expected;  // "!" when a text to replace is missing
};

const std::string kMissing = "!";

const SubstitutionCase kSubstitutionCases[] = {
    {"INF name only, first occurrence", "INSTALL.INF INSTALL.INF B8DF", 0, u"TR01", u"", false, u"",
     "INSTALL_TR01.INF INSTALL.INF B8DF"},
    {"all three", "x=INSTALL.INF\nb=B8DF\nm=en-us\nB8DF en-us\n", 0, u"TR01", u"de-de", true,
     u"1A2B", "x=INSTALL_TR01.INF\nb=1A2B\nm=de-de\nB8DF en-us\n"},
    {"INF name is case-sensitive", "install.inf", 0, u"TR01", u"", false, u"", kMissing},
    {"already patched", "INSTALL_TR01.INF", 0, u"TR01", u"", false, u"", kMissing},
    {"default values leave the text", "INSTALL.INF B8DF en-us", 0, u"TR01", u"en-us", true, u"B8DF",
     "INSTALL_TR01.INF B8DF en-us"},
    {"default values still need B8DF", "INSTALL.INF en-us", 0, u"TR01", u"en-us", true, u"B8DF",
     kMissing},
    {"values need en-us", "INSTALL.INF B8DF", 0, u"TR01", u"de-de", true, u"1A2B", kMissing},
    {"code holding B8DF is hit first", "INSTALL.INF B8DF en-us", 0, u"TRB8DF", u"de-de", true,
     u"1A2B", "INSTALL_TR1A2B.INF B8DF de-de"},
    {"barPc holding en-us is hit first", "B8DF en-us", 1, u"", u"de-de", true, u"xen-usx",
     "xde-dex en-us"},
    {"cmd file keeps INSTALL.INF", "INSTALL.INF B8DF en-us", 1, u"", u"de-de", true, u"1A2B",
     "INSTALL.INF 1A2B de-de"},
    {"empty market removes en-us", "B8DF en-us!", 1, u"", u"", true, u"1A2B", "1A2B !"},
    {"empty text, nothing asked", "", 1, u"", u"", false, u"", ""},
    {"empty text, INF name asked", "", 0, u"TR01", u"", false, u"", kMissing},
    {"a value ends at its first NUL", "B8DF en-us", 1, u"", u"de", true, u"1A\0ignored"s, "1A de"},
};

class Substitutions : public testing::TestWithParam<SubstitutionCase> {};

TEST_P(Substitutions, ReplaceFirstOccurrencesInOrder) {
  const SubstitutionCase& c = GetParam();
  const PatchedSetup patched =
      patchSetupBytes(c.text, c.cmdFile, c.packageCode, c.market, c.substituteValues, c.barPc);
  if (c.expected == kMissing) {
    EXPECT_EQ(patched.outcome, PatchOutcome::TextMissing) << c.what;
    ASSERT_FALSE(patched.applied.empty());
    EXPECT_FALSE(patched.applied.back().found);
  } else {
    EXPECT_EQ(patched.outcome, PatchOutcome::Rewritten) << c.what;
    EXPECT_EQ(patched.bytes, encodeSetupText(c.expected)) << c.what;
  }
}

TEST(Substitutions, TellTheLineOfEachFind) {
  const PatchedSetup patched =
      patchSetupBytes("[Setup]\r\nMarket=en-us\r\n\r\nInf=INSTALL.INF B8DF\r\n", 0, u"TR01",
                      u"de\nde", true, u"1A2B");
  ASSERT_EQ(patched.outcome, PatchOutcome::Rewritten);
  std::vector<std::size_t> lines;
  for (const AppliedSubstitution& applied : patched.applied) lines.push_back(applied.line);
  EXPECT_EQ(lines, (std::vector<std::size_t>{4, 4, 2}));
}

TEST(Substitutions, MissingTextErrorNamesThePosition) {
  EXPECT_STREQ(MissingTextError().what(), "invalid string position");
}

INSTANTIATE_TEST_SUITE_P(Texts, Substitutions, testing::ValuesIn(kSubstitutionCases));

}  // namespace
