#include "customize/patch_inf.h"

#include <gtest/gtest.h>

#include "customize/setup_text.h"
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
  std::u16string setupPath;
  std::int32_t cmdFile;
  std::u16string packageCode;
  bool substituteValues;
  std::string after;
  bool throws;
};

const std::string kCif = "[Setup]\r\nInf=INSTALL.INF\r\nBar=B8DF\r\nMarket=en-us\r\n";
const std::string kPatchedCif = "[Setup]\r\nInf=INSTALL_TR01.INF\r\nBar=1A2B\r\nMarket=de-de\r\n";

// Lines enough to be read in several pieces.
const std::string kFiller = [] {
  std::string lines;
  while (lines.size() < 200000) lines += "Key=a line of a long setup file\r\n";
  return lines;
}();

const PatchCase kPatchCases[] = {
    {"file of many pieces", kFiller + kCif, false, u"kvsetup.cif", 0, u"TR01", true,
     kFiller + kPatchedCif, false},
    {"missing text leaves the file", "Inf=INSTALL_TR01.INF\r\n", false, u"kvsetup.cif", 0, u"TR01",
     false, "Inf=INSTALL_TR01.INF\r\n", true},
    {"read-only file is left alone", kCif, true, u"kvsetup.cif", 0, u"TR01", true, kCif, false},
    {"empty path does nothing", kCif, false, u"", 0, u"TR01", true, kCif, false},
    {"cif without a code does nothing", "INSTALL.INF\n", false, u"kvsetup.cif", 0, u"", false,
     "INSTALL.INF\n", false},
    {"cmd without a code proceeds", "INSTALL.INF\n", false, u"kvsetup.cif", 1, u"", false,
     "INSTALL.INF\r\n", false},
    {"empty file stays empty", "", false, u"kvsetup.cif", 1, u"", false, "", false},
    {"a final lone CR is kept", "INSTALL.INF\r", false, u"kvsetup.cif", 0, u"TR01", false,
     "INSTALL_TR01.INF\r", false},
};

class PatchInf : public testing::TestWithParam<PatchCase> {};

TEST_P(PatchInf, RewritesWholeOrLeavesAlone) {
  const PatchCase& c = GetParam();
  TempDir dir;
  testing_support::writeFile(dir / "kvsetup.cif", c.before);
  if (c.readOnly) testing_support::setReadOnly(dir / "kvsetup.cif", true);
  const ScopedCurrentDir inPackage(dir.path());

  bool threw = false;
  try {
    patchInf(c.setupPath, c.cmdFile, c.packageCode, u"de-de", c.substituteValues, u"1A2B");
  } catch (const MissingTextError&) {
    threw = true;
  }
  EXPECT_EQ(threw, c.throws) << c.what;

  // The folder holds the setup file as expected and nothing else: no
  // temporary file is left behind.
  EXPECT_EQ(readFolder(dir.path()), (testing_support::Folder{{"kvsetup.cif", c.after}})) << c.what;
}

INSTANTIATE_TEST_SUITE_P(SetupFiles, PatchInf, testing::ValuesIn(kPatchCases),
                         testing_support::ByWhat());

// A patch hands on none of the new file until every substitution is made, so
// that a file lacking a text is never written; past a limit it hands the new
// bytes on all the same, so that its memory stays bounded. Either way the
// bytes handed on are the whole patched file.
TEST(PatchSetupFile, HoldsTheNewFileBackUntilEverySubstitutionIsMade) {
  for (const auto& [lines, handedOnEarly] : {std::pair{kFiller, false},
                                             {kFiller + kFiller, false},
                                             {std::string(3 << 20, '\n'), true}}) {
    const std::string file = lines + kCif;
    std::string handed;
    bool early = false;
    const PackageFiles files{nullptr, nullptr, [&](const std::u16string&, const ByteTransform& transform) {
                               for (std::size_t at = 0; at < file.size(); at += 65536) {
                                 const auto piece = transform.feed(file.substr(at, 65536));
                                 early = early || (!piece->empty() && at + 65536 < file.size());
                                 handed += *piece;
                               }
                               return transform.finish(handed) ? RewriteEnd::Rewritten
                                                               : RewriteEnd::Refused;
                             }};
    const PatchedSetup patched =
        patchSetupFile(files, u"kvsetup.cif", 0, u"TR01", u"de-de", true, u"1A2B");
    EXPECT_EQ(patched.outcome, PatchOutcome::Rewritten);
    EXPECT_EQ(early, handedOnEarly) << lines.size();
    EXPECT_EQ(handed, patchSetupBytes(file, 0, u"TR01", u"de-de", true, u"1A2B").bytes);
  }
}

}  // namespace
