#include "customize/setup_text.h"

#include "customize/patch_inf.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

std::string encoded(std::string_view text) {
  std::string bytes;
  encodeSetupText(text, bytes);
  return bytes;
}

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
    EXPECT_EQ(patched.bytes, encoded(c.expected)) << c.what;
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, Substitutions, testing::ValuesIn(kSubstitutionCases));

// The same patch fed in pieces of every size that splits a CR LF pair or a
// searched text across two pieces, then as exactly one piece.
struct StreamCase {
  const char* what;
  std::string bytes;
  std::int32_t cmdFile;
  std::u16string packageCode;
  std::u16string market;
  std::u16string barPc;
  PatchOutcome outcome;
  std::string expected;  // the new file, when Rewritten
  std::string lines;     // of each substitution tried, 0 when not found
};

const StreamCase kStreamCases[] = {
    {"every text and line end split", "[Setup]\r\nInf=INSTALL.INF\r\nBar=B8DF\r\nMarket=en-us\r\n",
     0, u"TR01", u"de-de", u"1A\n2B", PatchOutcome::Rewritten,
     "[Setup]\r\nInf=INSTALL_TR01.INF\r\nBar=1A\r\n2B\r\nMarket=de-de\r\n", "2 3 5"},
    {"lone CRs and a bare LF", "a\rb\r\r\nINSTALL.INF\n", 0, u"TR01", u"", u"",
     PatchOutcome::Rewritten, "a\rb\r\r\nINSTALL_TR01.INF\r\n", "2"},
    {"final 0x1A", "INSTALL.INF\r\n\x1a", 0, u"TR01", u"", u"", PatchOutcome::Rewritten,
     "INSTALL_TR01.INF\r\n", "1"},
    {"CR before a final 0x1A", "INSTALL.INF\r\x1a", 0, u"TR01", u"", u"", PatchOutcome::Rewritten,
     "INSTALL_TR01.INF\r", "1"},
    {"final NUL", "INSTALL.INF\0"s, 0, u"TR01", u"", u"", PatchOutcome::Rewritten,
     "INSTALL_TR01.INF", "1"},
    {"a byte after a NUL", "INSTALL.INF\0x"s, 0, u"TR01", u"", u"", PatchOutcome::CutShort, "", ""},
    {"a byte after a 0x1A", "INSTALL.INF\x1a\x1a", 0, u"TR01", u"", u"", PatchOutcome::CutShort, "",
     ""},
    {"the code creates the B8DF replaced", "INSTALL.INF\nB8DF\nen-us", 0, u"TRB8DF", u"de-de",
     u"1A2B", PatchOutcome::Rewritten, "INSTALL_TR1A2B.INF\r\nB8DF\r\nde-de", "1 1 3"},
    {"barPc completes an en-us", "B8DF-us\nen-us", 1, u"", u"de-de", u"en", PatchOutcome::Rewritten,
     "de-de\r\nen-us", "1 1"},
    {"line ends only", "a\rb\r\r\nc\nd\r\x1a", 1, u"", u"", u"", PatchOutcome::Rewritten,
     "a\rb\r\r\nc\r\nd\r", ""},
    {"only a 0x1A", "\x1a", 1, u"", u"", u"", PatchOutcome::Rewritten, "", ""},
    {"line ends after the last substitution", "INSTALL.INF\nx\ry\r\n\nz\r", 0, u"TR01", u"", u"",
     PatchOutcome::Rewritten, "INSTALL_TR01.INF\r\nx\ry\r\n\r\nz\r", "1"},
    {"the INF name only begun at the end", "x\r\nINSTALL.IN", 0, u"TR01", u"", u"",
     PatchOutcome::TextMissing, "", "0"},
    {"en-us only begun at the end", "B8DF\nen-u", 1, u"", u"de-de", u"1A2B",
     PatchOutcome::TextMissing, "", "1 0"},
};

class StreamedPatch : public testing::TestWithParam<StreamCase> {};

TEST_P(StreamedPatch, DoesNotDependOnThePieces) {
  const StreamCase& c = GetParam();
  std::vector<std::size_t> pieceSizes{1, 2, 3, 4, 5, 7, 10, 11, 12, 13, c.bytes.size()};
  for (const std::size_t pieceSize : pieceSizes) {
    SetupPatch patch =
        startSetupPatch(c.cmdFile, c.packageCode, c.market, !c.barPc.empty(), c.barPc);
    std::string out;
    for (std::size_t at = 0; at < c.bytes.size(); at += pieceSize) {
      const auto piece = feedSetupPatch(patch, std::string_view(c.bytes).substr(at, pieceSize));
      if (!piece) break;
      out += *piece;
    }
    const PatchedSetup patched = finishSetupPatch(patch, out);
    const auto where = testing::Message() << c.what << ", pieces of " << pieceSize;
    EXPECT_EQ(patched.outcome, c.outcome) << where;
    if (c.outcome == PatchOutcome::Rewritten) {
      EXPECT_EQ(out, c.expected) << where;
    }
    std::string lines;
    for (const AppliedSubstitution& applied : patched.applied) {
      lines += (lines.empty() ? "" : " ") + std::to_string(applied.line);
    }
    EXPECT_EQ(lines, c.lines) << where;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, StreamedPatch, testing::ValuesIn(kStreamCases));

}  // namespace
