#include "customize/patch_inf.h"

#include <gtest/gtest.h>

#include "row_names.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
using testing_support::readFolder;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;

struct PatchCase {
  const char* what;
  std::string before;
  bool readOnly;
  PatchRequest request;
  std::string after;
  PatchOutcome outcome;
};

const std::string kCif = "[Setup]\r\nInf=INSTALL.INF\r\nBar=B8DF\r\nMarket=en-us\r\n";
const std::string kPatchedCif = "[Setup]\r\nInf=INSTALL_TR01.INF\r\nBar=1A2B\r\nMarket=de-de\r\n";

// Lines enough to be read in several pieces.
const std::string kFiller = [] {
  std::string lines;
  while (lines.size() < 200000) lines += "Key=a line of a long setup file\r\n";
  return lines;
}();

PatchRequest cif(std::u16string packageCode, bool substituteValues) {
  return {.setupPath = u"kvsetup.cif",
          .packageCode = std::move(packageCode),
          .market = u"de-de",
          .substituteValues = substituteValues,
          .barPc = u"1A2B"};
}

const PatchRequest kCmdRequest{.setupPath = u"kvsetup.cif", .cmdFile = SetupKind::Cmd};

const PatchCase kPatchCases[] = {
    {"file of many pieces", kFiller + kCif, false, cif(u"TR01", true), kFiller + kPatchedCif,
     PatchOutcome::Rewritten},
    {"missing text leaves the file", "Inf=INSTALL_TR01.INF\r\n", false, cif(u"TR01", false),
     "Inf=INSTALL_TR01.INF\r\n", PatchOutcome::TextMissing},
    {"read-only file is left alone", kCif, true, cif(u"TR01", true), kCif,
     PatchOutcome::NotWritten},
    {"empty path does nothing", kCif, false, {.packageCode = u"TR01"}, kCif, PatchOutcome::Skipped},
    {"cif without a code does nothing", "INSTALL.INF\n", false, cif(u"", false), "INSTALL.INF\n",
     PatchOutcome::Skipped},
    {"cmd without a code proceeds", "INSTALL.INF\n", false, kCmdRequest, "INSTALL.INF\r\n",
     PatchOutcome::Rewritten},
    {"empty file stays empty", "", false, kCmdRequest, "", PatchOutcome::Rewritten},
    {"a final lone CR is kept", "INSTALL.INF\r", false, cif(u"TR01", false), "INSTALL_TR01.INF\r",
     PatchOutcome::Rewritten},
};

class PatchInf : public testing::TestWithParam<PatchCase> {};

TEST_P(PatchInf, RewritesWholeOrLeavesAlone) {
  const PatchCase& c = GetParam();
  TempDir dir;
  testing_support::writeFile(dir / "kvsetup.cif", c.before);
  if (c.readOnly) testing_support::setReadOnly(dir / "kvsetup.cif", true);
  const ScopedCurrentDir inPackage(dir.path());

  const PackageFiles files = realPackageFiles();
  EXPECT_EQ(patchInf(files, c.request).outcome, c.outcome) << c.what;
  files.flush();  // the new file is put in place

  // The folder holds the setup file as expected and nothing else: no
  // temporary file is left behind.
  EXPECT_EQ(readFolder(dir.path()), (testing_support::Folder{{"kvsetup.cif", c.after}})) << c.what;
}

INSTANTIATE_TEST_SUITE_P(SetupFiles, PatchInf, testing::ValuesIn(kPatchCases),
                         testing_support::ByWhat());

// A patch hands on none of the new file until every substitution is made, so
// that a file lacking a text is never written; past a limit it hands the new
// bytes on all the same, so that its memory stays bounded. Either way the
// bytes handed on are the whole patched file, the same as when it is fed whole.
TEST(PatchInfFeed, HoldsTheNewFileBackUntilEverySubstitutionIsMade) {
  for (const auto& [lines, handedOnEarly] : {std::pair{kFiller, false},
                                             {kFiller + kFiller, false},
                                             {std::string(3 << 20, '\n'), true}}) {
    const std::string file = lines + kCif;
    std::string handed;
    std::string whole;
    bool early = false;
    const auto rewrite = [&](const ByteTransform& transform) {
      for (std::size_t at = 0; at < file.size(); at += 65536) {
        const auto piece = transform.feed(file.substr(at, 65536));
        early = early || (!piece->empty() && at + 65536 < file.size());
        handed += *piece;
      }
      return transform.finish(handed) ? RewriteEnd::Rewritten : RewriteEnd::Refused;
    };
    const auto rewriteWhole = [&](const ByteTransform& transform) {
      whole = *transform.feed(file);
      return transform.finish(whole) ? RewriteEnd::Rewritten : RewriteEnd::Refused;
    };
    EXPECT_EQ(patchWith(cif(u"TR01", true), rewrite).outcome, PatchOutcome::Rewritten);
    EXPECT_EQ(patchWith(cif(u"TR01", true), rewriteWhole).outcome, PatchOutcome::Rewritten);
    EXPECT_EQ(early, handedOnEarly) << lines.size();
    EXPECT_EQ(handed, whole);
    EXPECT_TRUE(whole.ends_with(kPatchedCif));
  }
}

}  // namespace
