// The real tool, started by a launcher stub in a real package folder; every
// file of the folder is compared afterwards.
#include <gtest/gtest.h>

#include "package_folder.h"
#include "test_support.h"

namespace {

using namespace scenario;
using testing_support::TempDir;

const std::string kLauncher = "TRKVpack_v2_TR0107_x.exe";

const std::string kCifOPatched =
    "[Setup]\r\nInf=INSTALL_TR0107.INF\r\nBar=1A2B\r\nMarket=de-de\r\n";
const std::string kLiveCifNamed0107 =
    "[Setup]\r\nInf=INSTALL_TR0107.INF\r\nBar=B8DF\r\nMarket=en-us\r\n";
const std::string kCmdOPatched =
    "@echo off\r\nset BAR=1A2B\r\nset MARKET=de-de\r\nsetup /i INSTALL.INF\r\n";

struct Scenario {
  const char* what;
  std::string launcherName;  // empty: no launcher above the tool
  bool throughIntermediate;
  std::vector<std::string> arguments;
  Folder before;
  std::vector<std::string> readOnly;
  Folder after;
};

const Folder kPackage = samplePackage();

const Scenario kScenarios[] = {
    {"typical run",
     kLauncher,
     false,
     {},
     kPackage,
     {},
     with(kPackage, "kvsetup.cif", kCifOPatched)},
    {"typical run through an intermediate process",
     kLauncher,
     true,
     {},
     kPackage,
     {},
     with(kPackage, "kvsetup.cif", kCifOPatched)},
    {"arguments are ignored",
     kLauncher,
     false,
     {"--help", "/?", "TRKVother_v1_TR0200_l.exe"},
     kPackage,
     {},
     with(kPackage, "kvsetup.cif", kCifOPatched)},
    {"cif, e variant",
     "TRKVpack_v2_TR0200_x.exe",
     false,
     {},
     kPackage,
     {},
     with(kPackage, "kvsetup.cif", "[Setup]\r\nInf=INSTALL_TR0200.INF\r\nEdition=E\r\n")},
    {"cmd, o variant",
     "TRKVpack_v2_TR0107_xl.exe",
     false,
     {},
     kPackage,
     {},
     with(with(kPackage, "kv-setup.cmd", kCmdOPatched), "kvsetup.cif", kLiveCifNamed0107)},
    {"cmd, e variant",
     "TRKVpack_v2_TR0200_L.exe",
     true,
     {},
     kPackage,
     {},
     with(with(kPackage, "kv-setup.cmd", "@echo off\r\nsetup /i INSTALL.INF /e\r\n"), "kvsetup.cif",
          "[Setup]\r\nInf=INSTALL_TR0200.INF\r\nBar=B8DF\r\nMarket=en-us\r\n")},
    {"cmd run without a live cif still gets its values",
     "TRKVpack_v2_TR0107_xl.exe",
     false,
     {},
     without(kPackage, "kvsetup.cif"),
     {},
     with(without(kPackage, "kvsetup.cif"), "kv-setup.cmd", kCmdOPatched)},
    {"no launcher above the tool", "", true, {}, kPackage, {}, kPackage},
    {"launcher name without a code", "TRKVpack_v2_tr0107_x.exe", false, {}, kPackage, {}, kPackage},
    {"no entry in config.xml", "TRKVpack_v2_TR0999_x.exe", false, {}, kPackage, {}, kPackage},
    {"no config.xml",
     kLauncher,
     false,
     {},
     without(kPackage, "config.xml"),
     {},
     without(kPackage, "config.xml")},
    {"missing variant",
     "TRKVpack_v2_TR0200_l.exe",
     false,
     {},
     without(kPackage, "kv-setup_e.cmd"),
     {},
     without(kPackage, "kv-setup_e.cmd")},
    {"live file already patched is copied and patched anew",
     kLauncher,
     false,
     {},
     with(kPackage, "kvsetup.cif", kCifOPatched),
     {},
     with(kPackage, "kvsetup.cif", kCifOPatched)},
    {"variant lacking en-us is copied, not patched",
     kLauncher,
     false,
     {},
     with(kPackage, "kvsetup_o.cif", "Inf=INSTALL.INF\r\nBar=B8DF\r\n"),
     {},
     with(with(kPackage, "kvsetup_o.cif", "Inf=INSTALL.INF\r\nBar=B8DF\r\n"), "kvsetup.cif",
          "Inf=INSTALL.INF\r\nBar=B8DF\r\n")},
    {"bare LF, CR LF and a final 0x1A",
     kLauncher,
     false,
     {},
     with(kPackage, "kvsetup_o.cif", "[Setup]\nInf=INSTALL.INF\r\nBar=B8DF\nMarket=en-us\r\n\x1a"),
     {},
     with(with(kPackage, "kvsetup_o.cif",
               "[Setup]\nInf=INSTALL.INF\r\nBar=B8DF\nMarket=en-us\r\n\x1a"),
          "kvsetup.cif", kCifOPatched)},
    {"read-only live file is not replaced",
     kLauncher,
     false,
     {},
     kPackage,
     {"kvsetup.cif"},
     kPackage},
    {"read-only live cif beside a cmd run",
     "TRKVpack_v2_TR0107_xl.exe",
     false,
     {},
     kPackage,
     {"kvsetup.cif"},
     with(kPackage, "kv-setup.cmd", kCmdOPatched)},
    {"second run of a cmd package",
     "TRKVpack_v2_TR0107_xl.exe",
     false,
     {},
     with(with(kPackage, "kvsetup.cif", kLiveCifNamed0107), "kv-setup.cmd", kCmdOPatched),
     {},
     with(with(kPackage, "kvsetup.cif", kLiveCifNamed0107), "kv-setup.cmd", kCmdOPatched)},
    {"second run of an e cmd package keeps the copy",
     "TRKVpack_v2_TR0200_l.exe",
     false,
     {},
     with(kPackage, "kvsetup.cif", "Inf=INSTALL_TR0200.INF\r\n"),
     {},
     with(with(kPackage, "kvsetup.cif", "Inf=INSTALL_TR0200.INF\r\n"), "kv-setup.cmd",
          "@echo off\r\nsetup /i INSTALL.INF /e\r\n")},
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

INSTANTIATE_TEST_SUITE_P(Packages, ToolRun, testing::ValuesIn(kScenarios));

}  // namespace
