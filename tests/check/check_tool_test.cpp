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
  // One verdict line, the last, names the cause.
  const std::size_t verdict = out.find("\nverdict");
  EXPECT_EQ(out.rfind("\nverdict"), verdict) << out;
  EXPECT_NE(out.find(c.cause, verdict), std::string::npos) << c.what << "\n" << out;
  std::string json;
  check::runCheckTool({u"--json", u"--launcher=" + fs::path(c.launcherName).u16string(),
                       package.path().u16string()},
                      json, err);
  EXPECT_TRUE(testing_support::isWellFormedJson(json)) << json;
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

// --diff shows each substitution's line and the whole change; --json the same facts.
TEST(CheckToolReport, DiffAndJsonShowTheChange) {
  TempDir package;
  writeFolder(package.path(), kPackage);
  std::string text;
  std::string json;
  std::string err;
  for (const auto& [option, out] : {std::pair{u"--diff", &text}, {u"--json", &json}}) {
    ASSERT_EQ(
        check::runCheckTool(
            {u"--launcher=TRKVa_b_TR0107_x.exe", option, package.path().u16string()}, *out, err),
        0);
  }
  EXPECT_TRUE(testing_support::isWellFormedJson(json)) << json;
  for (const std::string_view expected :
       {"  line 2       \"INSTALL.INF\" -> \"INSTALL_TR0107.INF\"",
        "\n-Inf=INSTALL.INF\n-Bar=B8DF\n-Market=en-us\n+Inf=INSTALL_TR0107.INF\n",
        "\"packageCode\": \"TR0107\"", "\"complete\": true",
        "{\"file\": \"kvsetup.cif\", \"existsNow\": true}"}) {
    EXPECT_NE((text + json).find(expected), std::string::npos) << text << json;
  }
}

// Started by a launcher, the check finds the launcher's name itself.
TEST(CheckToolProcess, FindsTheLauncher) {
  TempDir package;
  TempDir stubs;
  writeFolder(package.path(), kPackage);
  fs::copy_file(testing_support::builtProgram("launcher_stub"), stubs / kO);
  EXPECT_EQ(testing_support::runProcess(
                {stubs / kO, testing_support::builtProgram("pkgcustomize-check")}, package.path()),
            0);
  EXPECT_EQ(readFolder(package.path()), kPackage);
}

}  // namespace
