#include "check/check_tool.h"

#include <gtest/gtest.h>

#include "../scenario/package_folder.h"
#include "check/diagnosis.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace scenario;
using namespace std::string_literals;
using testing_support::TempDir;

const Folder kPackage = samplePackage();

const std::string kO = "TRKVpack_v2_TR0107_x.exe";
const std::string kOCmd = "TRKVpack_v2_TR0107_xl.exe";
const std::string kECmd = "TRKVpack_v2_TR0200_l.exe";

struct CheckCase {
  const char* what;
  std::string launcherName;
  Folder folder;
  int status;
  std::string cause;  // found in the verdict line
  std::vector<std::string> readOnly = {};
};

Folder withConfig(const std::string& entry) {
  return with(kPackage, "config.xml",
              "<config><binary code=\"TR0107\">" + entry + "</binary></config>");
}

const CheckCase kCheckCases[] = {
    {"typical package", kO, kPackage, 0, "complete"},
    {"cmd package", kOCmd, kPackage, 0, "complete"},
    {"e cmd package", kECmd, kPackage, 0, "complete"},
    {"second run of a cmd package", kOCmd,
     with(kPackage, "kvsetup.cif", "Inf=INSTALL_TR0107.INF\r\n"), 0, "complete"},
    {"launcher name without a code", "TRKVpack_v2_tr0107_x.exe", kPackage, 1,
     "holds no package code"},
    {"no config.xml", kO, without(kPackage, "config.xml"), 1, "there is no config.xml"},
    {"malformed config.xml", kO, with(kPackage, "config.xml", "<config><binary code=\"TR0107\">"),
     1, "config.xml cannot be parsed"},
    {"no entry", "TRKVpack_v2_TR0999_x.exe", kPackage, 1, "no <binary code=\"TR0999\"> entry"},
    {"quote in the code", "TRKVa_b_TR\"1_x.exe", kPackage, 1, "holds a double quote"},
    {"empty package_type", kO, withConfig("<package_type/><market_type>de</market_type>"), 1,
     "<package_type> of the entry \"TR0107\" is empty"},
    {"O without quil_bar_pc", kO,
     withConfig("<package_type>O</package_type><market_type>de</market_type>"), 1,
     "is of type \"O\" but has no <quil_bar_pc>"},
    {"no market_type", kO, withConfig("<package_type>E</package_type>"), 1,
     "the entry \"TR0107\" has no <market_type>"},
    {"missing variant", kECmd, without(kPackage, "kv-setup_e.cmd"), 1,
     "the variant kv-setup_e.cmd is missing"},
    {"read-only live file",
     kO,
     kPackage,
     1,
     "kvsetup.cif is read-only: kvsetup_o.cif cannot be copied over it",
     {"kvsetup.cif"}},
    {"read-only live cif beside a cmd run",
     kOCmd,
     kPackage,
     1,
     "kvsetup.cif is read-only, so it would be left unpatched",
     {"kvsetup.cif"}},
    {"variant lacking en-us", kO,
     with(kPackage, "kvsetup_o.cif", "Inf=INSTALL.INF\r\nBar=B8DF\r\n"), 1,
     "\"en-us\" is not in kvsetup.cif, so the run would stop there"},
    {"cif already named for another code", kOCmd,
     with(kPackage, "kvsetup.cif", "Inf=INSTALL_TR0200.INF\r\n"), 1,
     "\"INSTALL.INF\" is not in kvsetup.cif, so it would be left unpatched"},
    {"cmd run without a live cif", kOCmd, without(kPackage, "kvsetup.cif"), 1,
     "kvsetup.cif does not exist"},
    {"NUL inside the variant", kO,
     with(kPackage, "kvsetup_o.cif", "Inf=INSTALL.INF B8DF en-us\0tail"s), 1,
     "holds a NUL or 0x1A byte before its end"},
};

std::vector<std::string> verdictLines(const std::string& report) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = report.find('\n', start)) != std::string::npos; start = end + 1) {
    if (report.compare(start, 7, "verdict") == 0)
      lines.push_back(report.substr(start, end - start));
  }
  return lines;
}

class CheckTool : public testing::TestWithParam<CheckCase> {};

// The check names the cause in its verdict line, writes nothing, and predicts
// exactly what the real tool then does to the folder.
TEST_P(CheckTool, NamesTheCauseAndPredictsTheRun) {
  const CheckCase& c = GetParam();
  TempDir package;
  writeFolder(package.path(), c.folder, c.readOnly);
  const Folder before = readFolder(package.path());

  std::string out;
  std::string err;
  const int status = check::runCheckTool(
      {u"--launcher", fs::path(c.launcherName).u16string(), package.path().u16string()}, out, err);
  EXPECT_EQ(status, c.status) << c.what << "\n" << out;
  const auto verdict = verdictLines(out);
  ASSERT_EQ(verdict.size(), 1u) << out;
  EXPECT_NE(verdict[0].find(c.cause), std::string::npos) << c.what << "\n" << verdict[0];
  EXPECT_EQ(err, "");
  EXPECT_EQ(readFolder(package.path()), before) << "the check must not write";

  Folder predicted = before;
  {
    const testing_support::ScopedCurrentDir inPackage(package.path());
    for (const check::FileChange& change :
         check::diagnosePackage(fs::path(c.launcherName).u16string(), true).changes) {
      predicted[fs::path(change.name).string()] = change.after;
    }
  }
  if (c.launcherName.find('"') != std::string::npos) return;  // not a possible file name
  TempDir stubs;
  ASSERT_EQ(testing_support::runProcess(launchCommand(stubs.path(), c.launcherName, false),
                                        package.path()),
            0);
  EXPECT_EQ(readFolder(package.path()), predicted) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Packages, CheckTool, testing::ValuesIn(kCheckCases));

struct UsageCase {
  std::vector<std::u16string> args;
  int status;
  std::string output;  // found in what is printed
};

const UsageCase kUsageCases[] = {
    {{u"--help"}, 0, "usage: pkgcustomize-check"},
    {{u"--version"}, 0, "pkgcustomize-check "},
    {{u"--bogus"}, 2, "unknown option --bogus"},
    {{u"--launcher"}, 2, "--launcher needs a name"},
    {{u"--launcher="}, 2, "--launcher needs a name"},
    {{u"one", u"two"}, 2, "only one FOLDER"},
    {{u"--launcher", u"TRKVa_b_TR0107_x.exe", u"no-such-folder"}, 2, "cannot enter the folder"},
    {{u"--all", u"no-such-folder"}, 2, "cannot enter the folder"},
    {{u"--all", u"--launcher=TRKVa_b_TR0107_x.exe"}, 2, "--all and --launcher exclude each other"},
    {{u"--help"}, 0, "only for the first package of each distinct outcome"},
};

class CheckToolUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(CheckToolUsage, AnswersAsUsersExpect) {
  std::string out;
  std::string err;
  EXPECT_EQ(check::runCheckTool(GetParam().args, out, err), GetParam().status);
  EXPECT_NE((out + err).find(GetParam().output), std::string::npos) << out << err;
}

INSTANTIATE_TEST_SUITE_P(Arguments, CheckToolUsage, testing::ValuesIn(kUsageCases));

TEST(CheckToolReport, DiffAndJsonShowTheChange) {
  TempDir package;
  writeFolder(package.path(), kPackage);
  const std::u16string folder = package.path().u16string();
  std::string text;
  std::string json;
  std::string err;
  ASSERT_EQ(check::runCheckTool({u"--launcher=TRKVa_b_TR0107_x.exe", u"--diff", folder}, text, err),
            0);
  EXPECT_NE(text.find("  line 2       \"INSTALL.INF\" -> \"INSTALL_TR0107.INF\""),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\n-Inf=INSTALL.INF\n-Bar=B8DF\n-Market=en-us\n+Inf=INSTALL_TR0107.INF\n"),
            std::string::npos)
      << text;

  ASSERT_EQ(check::runCheckTool({u"--launcher=TRKVa_b_TR0107_x.exe", u"--json", folder}, json, err),
            0);
  EXPECT_NE(json.find("\"packageCode\": \"TR0107\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"complete\": true"), std::string::npos) << json;
  EXPECT_NE(json.find("{\"file\": \"kvsetup.cif\", \"existsNow\": true}"), std::string::npos);
}

// Started by a launcher, the check finds the launcher's name itself.
TEST(CheckToolProcess, FindsTheLauncherAndSetsTheExitStatus) {
  for (const auto& [folder, status] :
       {std::pair{kPackage, 0}, {without(kPackage, "config.xml"), 1}}) {
    TempDir package;
    TempDir stubs;
    writeFolder(package.path(), folder);
    const fs::path launcher = stubs / "TRKVpack_v2_TR0107_x.exe";
    fs::copy_file(testing_support::builtProgram("launcher_stub"), launcher);
    EXPECT_EQ(testing_support::runProcess(
                  {launcher, testing_support::builtProgram("pkgcustomize-check")}, package.path()),
              status);
    EXPECT_EQ(readFolder(package.path()), folder);
  }
}

}  // namespace
