#include "customize/setup_text.h"

#include "customize/patch_inf.h"

#include <gtest/gtest.h>

#include "row_names.h"

namespace {

using namespace std::string_literals;

// The substitutions, first occurrences in order, made on a file fed in pieces
// of every size that splits a CR LF pair or a searched text across two
// pieces, then as exactly one piece.
struct StreamCase {
  const char* what;
  std::string bytes;
  SetupKind cmdFile;
  std::u16string packageCode;
  std::u16string market;
  std::u16string barPc;
  PatchOutcome outcome;
  std::string expected;  // the new file, when Rewritten
  std::string lines;     // of each substitution tried, 0 when not found
};

using enum SetupKind;

const StreamCase kStreamCases[] = {
    {"INF name only, first occurrence", "INSTALL.INF INSTALL.INF B8DF", Cif, u"TR01", u"", u"",
     PatchOutcome::Rewritten, "INSTALL_TR01.INF INSTALL.INF B8DF", "1"},
    {"INF name is case-sensitive", "install.inf", Cif, u"TR01", u"", u"", PatchOutcome::TextMissing,
     "", "0"},
    {"already patched", "INSTALL_TR01.INF", Cif, u"TR01", u"", u"", PatchOutcome::TextMissing, "",
     "0"},
    {"default values leave the text", "INSTALL.INF B8DF en-us", Cif, u"TR01", u"en-us", u"B8DF",
     PatchOutcome::Rewritten, "INSTALL_TR01.INF B8DF en-us", "1 1 1"},
    {"default values still need B8DF", "INSTALL.INF en-us", Cif, u"TR01", u"en-us", u"B8DF",
     PatchOutcome::TextMissing, "", "1 0"},
    {"values need en-us", "INSTALL.INF B8DF", Cif, u"TR01", u"de-de", u"1A2B",
     PatchOutcome::TextMissing, "", "1 1 0"},
    {"barPc holding en-us is hit first", "B8DF en-us", Cmd, u"", u"de-de", u"xen-usx",
     PatchOutcome::Rewritten, "xde-dex en-us", "1 1"},
    {"cmd file keeps INSTALL.INF", "INSTALL.INF B8DF en-us", Cmd, u"", u"de-de", u"1A2B",
     PatchOutcome::Rewritten, "INSTALL.INF 1A2B de-de", "1 1"},
    {"empty market removes en-us", "B8DF en-us!", Cmd, u"", u"", u"1A2B", PatchOutcome::Rewritten,
     "1A2B !", "1 1"},
    {"empty text, INF name asked", "", Cif, u"TR01", u"", u"", PatchOutcome::TextMissing, "", "0"},
    {"a value ends at its first NUL", "B8DF en-us", Cmd, u"", u"de", u"1A\0ignored"s,
     PatchOutcome::Rewritten, "1A de", "1 1"},
    {"every text and line end split", "[Setup]\r\nInf=INSTALL.INF\r\nBar=B8DF\r\nMarket=en-us\r\n",
     Cif, u"TR01", u"de-de", u"1A\n2B", PatchOutcome::Rewritten,
     "[Setup]\r\nInf=INSTALL_TR01.INF\r\nBar=1A\r\n2B\r\nMarket=de-de\r\n", "2 3 5"},
    {"lone CRs and a bare LF", "a\rb\r\r\nINSTALL.INF\n", Cif, u"TR01", u"", u"",
     PatchOutcome::Rewritten, "a\rb\r\r\nINSTALL_TR01.INF\r\n", "2"},
    {"final 0x1A", "INSTALL.INF\r\n\x1a", Cif, u"TR01", u"", u"", PatchOutcome::Rewritten,
     "INSTALL_TR01.INF\r\n", "1"},
    {"CR before a final 0x1A", "INSTALL.INF\r\x1a", Cif, u"TR01", u"", u"", PatchOutcome::Rewritten,
     "INSTALL_TR01.INF\r", "1"},
    {"final NUL", "INSTALL.INF\0"s, Cif, u"TR01", u"", u"", PatchOutcome::Rewritten,
     "INSTALL_TR01.INF", "1"},
    {"a byte after a NUL", "INSTALL.INF\0x"s, Cif, u"TR01", u"", u"", PatchOutcome::CutShort, "",
     ""},
    {"a byte after a 0x1A", "INSTALL.INF\x1a\x1a", Cif, u"TR01", u"", u"", PatchOutcome::CutShort,
     "", ""},
    {"the code creates the B8DF replaced", "INSTALL.INF\nB8DF\nen-us", Cif, u"TRB8DF", u"de-de",
     u"1A2B", PatchOutcome::Rewritten, "INSTALL_TR1A2B.INF\r\nB8DF\r\nde-de", "1 1 3"},
    {"barPc completes an en-us", "B8DF-us\nen-us", Cmd, u"", u"de-de", u"en",
     PatchOutcome::Rewritten, "de-de\r\nen-us", "1 1"},
    {"line ends only", "a\rb\r\r\nc\n\nd\r\x1a", Cmd, u"", u"", u"", PatchOutcome::Rewritten,
     "a\rb\r\r\nc\r\n\r\nd\r", ""},
    {"only a 0x1A", "\x1a", Cmd, u"", u"", u"", PatchOutcome::Rewritten, "", ""},
    {"line ends after the last substitution", "INSTALL.INF\nx\ry\r\n\nz\r", Cif, u"TR01", u"", u"",
     PatchOutcome::Rewritten, "INSTALL_TR01.INF\r\nx\ry\r\n\r\nz\r", "1"},
    {"the INF name only begun at the end", "x\r\nINSTALL.IN", Cif, u"TR01", u"", u"",
     PatchOutcome::TextMissing, "", "0"},
    {"en-us only begun at the end", "B8DF\nen-u", Cmd, u"", u"de-de", u"1A2B",
     PatchOutcome::TextMissing, "", "1 0"},
};

class StreamedPatch : public testing::TestWithParam<StreamCase> {};

TEST_P(StreamedPatch, DoesNotDependOnThePieces) {
  const StreamCase& c = GetParam();
  std::vector<std::size_t> pieceSizes{1, 2, 3, 4, 5, 7, 10, 11, 12, 13, c.bytes.size()};
  for (const std::size_t pieceSize : pieceSizes) {
    SetupPatch patch = startSetupPatch({.cmdFile = c.cmdFile,
                                        .packageCode = c.packageCode,
                                        .market = c.market,
                                        .substituteValues = !c.barPc.empty(),
                                        .barPc = c.barPc});
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

INSTANTIATE_TEST_SUITE_P(Files, StreamedPatch, testing::ValuesIn(kStreamCases),
                         testing_support::ByWhat());

}  // namespace

// Once every substitution is made, a piece passes as it is unless an LF in
// it lacks its CR, wherever in the piece (or after a CR at the end of the
// piece before) that LF lies.
TEST(RecodeSetupBytes, GivesEachBareLfItsCrWhereverItLies) {
  for (std::size_t at = 0; at < 24; ++at) {
    const std::string piece = std::string(at, 'x') + "\n" + std::string(23 - at, 'x');
    const std::string withCr = std::string(at, 'x') + "\r\n" + std::string(23 - at, 'x');
    std::string scratch;
    SetupDecoder fresh;
    EXPECT_EQ(recodeSetupBytes(fresh, piece, scratch), withCr) << at;
    SetupDecoder again;
    const std::string_view kept = recodeSetupBytes(again, withCr, scratch);
    EXPECT_EQ(kept.data(), withCr.data()) << at;  // the piece itself: nothing to change
    SetupDecoder afterCr;
    recodeSetupBytes(afterCr, "x\r", scratch);
    EXPECT_EQ(recodeSetupBytes(afterCr, piece, scratch), at == 0 ? piece : withCr) << at;
  }
}

// A filter that has made its substitution passes every later piece on as it is.
TEST(FilterSetupText, PassesTheRestOnOnceFound) {
  SubstitutionFilter filter;
  filter.substitution = {"en-us", "de-de"};
  std::string out;
  for (const char* piece : {"a en-", "us b", " en-us"}) filterSetupText(filter, piece, out);
  EXPECT_EQ(out, "a de-de b en-us");
}
