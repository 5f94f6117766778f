// The real tool, started by a launcher stub in a real package folder; every
// file of the folder is compared afterwards. Runs that must leave the folder
// as it was are rows of the check tool's table, which also runs the tool.
#include <gtest/gtest.h>

#include "row_names.h"

#include "package_folder.h"
#include "test_support.h"

namespace {

using namespace scenario;
using testing_support::TempDir;

const std::string kCmdOPatched =
    "@echo off\r\nset BAR=1A2B\r\nset MARKET=de-de\r\nsetup /i INSTALL.INF\r\n";

struct Scenario {
  const char* what;
  std::string launcherName;  // empty: no launcher above the tool
  Folder before;
  Folder after;
  bool throughIntermediate = false;
  std::vector<std::string> readOnly = {};
  std::vector<std::string> arguments = {};
};

const Folder kPackage = samplePackage();
const Folder kOPatched = with(kPackage, "kvsetup.cif", kCifOPatched);
const Folder kNoLiveCif = without(kPackage, "kvsetup.cif");
const Folder kCifNamed = with(kPackage, "kvsetup.cif",
                              "[Setup]\r\nInf=INSTALL_TR0107.INF\r\nBar=B8DF\r\nMarket=en-us\r\n");
const Folder kCifNamed0200 = with(kPackage, "kvsetup.cif", "Inf=INSTALL_TR0200.INF\r\n");
const std::string kOddLineEnds = "[Setup]\nInf=INSTALL.INF\r\nBar=B8DF\nMarket=en-us\r\n\x1a";
const std::string kNoMarket = "Inf=INSTALL.INF\r\nBar=B8DF\r\n";
const std::string kCmdE = "@echo off\r\nsetup /i INSTALL.INF /e\r\n";
const std::string kNotOurs = "kvsetup.cif.pkgcustomize-1234567";  // one character too many

// The typical run, started directly and through an intermediate process (the
// x86 stage of script/test runs just these two, by name, when short of time).
const Scenario kScenarios[] = {
    {"typical run", kO, kPackage, kOPatched},
    {"typical run through an intermediate process", kO, kPackage, kOPatched, true},
    {"arguments are ignored", kO, kPackage, kOPatched, false, {}, {"--help", "/?", kECmd}},
    {"cif, e variant", "TRKVpack_v2_TR0200_x.exe", kPackage,
     with(kPackage, "kvsetup.cif", "[Setup]\r\nInf=INSTALL_TR0200.INF\r\nEdition=E\r\n")},
    {"cmd, o variant", kOCmd, kPackage, with(kCifNamed, "kv-setup.cmd", kCmdOPatched)},
    {"cmd, e variant", "TRKVpack_v2_TR0200_L.exe", kPackage,
     with(with(kPackage, "kv-setup.cmd", kCmdE), "kvsetup.cif",
          "[Setup]\r\nInf=INSTALL_TR0200.INF\r\nBar=B8DF\r\nMarket=en-us\r\n"),
     true},
    {"cmd run without a live cif still gets its values", kOCmd, kNoLiveCif,
     with(kNoLiveCif, "kv-setup.cmd", kCmdOPatched)},
    {"no launcher above the tool", "", kPackage, kPackage, true},
    {"live file already patched is copied and patched anew", kO, kOPatched, kOPatched},
    {"variant lacking en-us is copied, not patched", kO, with(kPackage, "kvsetup_o.cif", kNoMarket),
     with(with(kPackage, "kvsetup_o.cif", kNoMarket), "kvsetup.cif", kNoMarket)},
    {"bare LF, CR LF and a final 0x1A", kO, with(kPackage, "kvsetup_o.cif", kOddLineEnds),
     with(with(kPackage, "kvsetup_o.cif", kOddLineEnds), "kvsetup.cif", kCifOPatched)},
    {"read-only live cif beside a cmd run",
     kOCmd,
     kPackage,
     with(kPackage, "kv-setup.cmd", kCmdOPatched),
     false,
     {"kvsetup.cif"}},
    {"second run of a cmd package", kOCmd, with(kCifNamed, "kv-setup.cmd", kCmdOPatched),
     with(kCifNamed, "kv-setup.cmd", kCmdOPatched)},
    {"second run of an e cmd package keeps the copy", kECmd, kCifNamed0200,
     with(kCifNamed0200, "kv-setup.cmd", kCmdE)},
    {"an interrupted run's leftover goes, a look-alike stays", kO,
     with(with(kPackage, kNotOurs, "x"), "kvsetup.cif.pkgcustomize-x1Y2z3", "[Set"),
     with(kOPatched, kNotOurs, "x")},
};

class ToolRun : public testing::TestWithParam<Scenario> {};

TEST_P(ToolRun, LeavesThePackageAsExpected) {
  const Scenario& s = GetParam();
  TempDir stubs;
  TempDir package;
  writeFolder(package.path(), s.before, s.readOnly);
  const auto command =
      launchCommand(stubs.path(), s.launcherName, s.throughIntermediate, s.arguments);
  EXPECT_EQ(testing_support::runProcess(command, package.path()), 0) << s.what;
  EXPECT_EQ(readFolder(package.path()), s.after) << s.what;
}

INSTANTIATE_TEST_SUITE_P(Packages, ToolRun, testing::ValuesIn(kScenarios),
                         testing_support::ByWhat());

}  // namespace
