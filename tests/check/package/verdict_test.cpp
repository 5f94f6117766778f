// The check's verdict agrees with a real run of the tool: each row is checked,
// must leave the folder as it was, and must predict to the byte what the real
// tool, started through a launcher stub, then does to the folder.
#include <gtest/gtest.h>

#include "check/package/package_check.h"
#include "check_support.h"
#include "package_folder.h"
#include "row_names.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace scenario;
using namespace check_support;
using namespace std::string_literals;
using testing_support::TempDir;

const Folder kPackage = samplePackage();

Folder withEntry(const std::vector<std::string>& values) {
  return with(kPackage, "config.xml", oneEntryConfig(values));
}

const std::string kType = "<package_type>O</package_type>";
const std::string kBarPc = "<quil_bar_pc>1A2B</quil_bar_pc>";
const std::string kMarket = "<market_type>de-de</market_type>";

struct VerdictCase {
  const char* what;
  std::string launcher;  // as given to --launcher
  Folder folder;
  int status;
  std::vector<std::string> findings;  // RULE@FILE:LINE:COLUMN, in order
  std::vector<std::string> readOnly = {};
};

// clang-format off
const VerdictCase kVerdictCases[] = {
    {"typical package", kO, kPackage, 0, {}},
    {"cmd package", kOCmd, kPackage, 0, {}},
    {"second run of a cmd package", kOCmd, with(kPackage, "kvsetup.cif", "Inf=INSTALL_TR0107.INF\r\n"), 0, {}},
    {"a launcher given with its folder", "some/folder_a/" + kO, kPackage, 0, {}},
    {"a name without the launcher prefix", "KVpack_v2_TR0107_x.exe", kPackage, 1, {"no-launcher@"}},
    {"the launcher prefix in lower case", "trkvpack_v2_TR0107_x.exe", kPackage, 1, {"no-launcher@"}},
    {"a launcher name without a code", "TRKVpack_v2_tr0107_x.exe", kPackage, 1, {"no-package-code@"}},
    {"no config.xml", kO, without(kPackage, "config.xml"), 1, {"no-config@config.xml"}},
    {"no entry for the code", "TRKVpack_v2_TR0999_x.exe", kPackage, 1, {"no-entry@config.xml"}},
    {"an entry spelt binnary", kO,
     with(kPackage, "config.xml",
          "<config>\n  <binnary code=\"TR0107\">\n    " + kType + kBarPc + kMarket + "\n  </binnary>\n</config>\n"),
     1, {"no-entry@config.xml", "unused-entry@config.xml:2:3"}},
    {"a document element of another name", kO,
     with(kPackage, "config.xml",
          "<configuration>\n  <binary code=\"TR0107\">" + kType + kBarPc + kMarket + "</binary>\n</configuration>\n"),
     1, {"no-entry@config.xml", "wrong-document-element@config.xml:1:1"}},
    {"an empty package type", kO, withEntry({"<package_type/>", kMarket}), 1, {"empty-value@config.xml:4:5"}},
    {"an O entry without quil_bar_pc", kO, withEntry({kType, kMarket}), 1, {"missing-value@config.xml:3:3"}},
    {"a misspelt market type", kO, withEntry({kType, kBarPc, "<market_typ>de</market_typ>"}), 1,
     {"missing-value@config.xml:3:3", "unknown-element@config.xml:6:5"}},
    {"a package type of O and a blank", kO, withEntry({"<package_type>O </package_type>", kBarPc, kMarket}), 0,
     {"looks-like-o@config.xml:4:5", "ignored-bar-pc@config.xml:5:5"}},
    {"a market type wrapped over three lines", kO,
     withEntry({kType, kBarPc, "<market_type>\n      de-de\n    </market_type>"}), 0, {"wrapped-value@config.xml:6:5"}},
    {"the variant is missing", kECmd, without(kPackage, "kv-setup_e.cmd"), 1, {"missing-variant@kv-setup_e.cmd"}},
    {"a read-only live file", kO, kPackage, 1, {"read-only-file@kvsetup.cif"}, {"kvsetup.cif"}},
    {"a read-only live cif beside a cmd run", kOCmd, kPackage, 1, {"read-only-file@kvsetup.cif"}, {"kvsetup.cif"}},
    {"the prepared cif lacks B8DF", kO, with(kPackage, "kvsetup_o.cif", "Inf=INSTALL.INF\r\nMarket=en-us\r\n"), 1,
     {"missing-text@kvsetup_o.cif"}},
    {"the live cif names another package", kOCmd, with(kPackage, "kvsetup.cif", "Inf=INSTALL_TR0200.INF\r\n"), 1,
     {"missing-text@kvsetup.cif"}},
    {"a cmd run without a live cif", kOCmd, without(kPackage, "kvsetup.cif"), 1, {"no-live-cif@kvsetup.cif"}},
    {"a leftover of an interrupted run", kO, with(kPackage, "kvsetup.cif.pkgcustomize-Ab12Cd", "half a file"), 0,
     {"leftover-file@kvsetup.cif.pkgcustomize-Ab12Cd"}},
    {"a NUL inside the variant", kO, with(kPackage, "kvsetup_o.cif", "Inf=INSTALL.INF B8DF en-us\0tail"s), 1,
     {"cut-short@kvsetup_o.cif"}},
};
// clang-format on

class CheckVerdict : public testing::TestWithParam<VerdictCase> {};

TEST_P(CheckVerdict, AgreesWithARealRun) {
  const VerdictCase& c = GetParam();
  TempDir package;
  writeFolder(package.path(), c.folder, c.readOnly);
  const Folder before = readFolder(package.path());

  int status = -1;
  const auto report = checkJson(
      {u"--launcher", fs::path(c.launcher).u16string(), package.path().u16string()}, &status);
  EXPECT_EQ(status, c.status);
  EXPECT_TRUE(samePlaces(findingPlaces(report), c.findings))
      << testing::PrintToString(findingPlaces(report)) << "\n"
      << report.dump(2);
  EXPECT_EQ(readFolder(package.path()), before) << "the check must not write";

  // A run that gets to its first write removes the leftovers of interrupted runs.
  Folder predicted = before;
  for (const auto& f : report["findings"]) {
    if (f["rule"] == "leftover-file" && !report["copy"]["copied"].is_null()) {
      predicted.erase(f["file"].get<std::string>());
    }
  }
  {
    const testing_support::ScopedCurrentDir inPackage(package.path());
    for (const check::FileChange& change :
         check::checkPackage(check::readConfigView(), fs::path(c.launcher).u16string())
             .run.changes) {
      predicted[fs::path(change.name).string()] = change.after;
    }
  }
  TempDir stubs;
  const std::string launcherFile = fs::path(c.launcher).filename().string();
  ASSERT_EQ(
      testing_support::runProcess(launchCommand(stubs.path(), launcherFile, false), package.path()),
      0);
  EXPECT_EQ(readFolder(package.path()), predicted);
}

INSTANTIATE_TEST_SUITE_P(Packages, CheckVerdict, testing::ValuesIn(kVerdictCases),
                         testing_support::ByWhat());

}  // namespace
