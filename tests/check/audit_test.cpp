#include "check/audit.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "../scenario/package_folder.h"
#include "check/check_tool.h"
#include "platform/files.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace scenario;
using check::FindingKind;
using testing_support::TempDir;

const Folder kPackage = samplePackage();

std::string config(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<config>\n" + body + "</config>\n";
}

std::string entry(const std::string& code, const std::string& values) {
  return "  <binary code=\"" + code + "\">" + values + "</binary>\n";
}

const std::string kEValues = "<package_type>E</package_type><market_type>fr-fr</market_type>";
const std::string kOValues =
    "<package_type>O</package_type><quil_bar_pc>1A2B</quil_bar_pc><market_type>de</market_type>";

// A finding: its kind, the entry's line (0: none) or for a prepared file how
// many packages it breaks.
using Finding = std::pair<FindingKind, long>;

struct AuditCase {
  const char* what;
  Folder folder;
  int status;
  std::string summary;  // the last line of the text report
  std::vector<Finding> findings;
};

const AuditCase kAuditCases[] = {
    {"the sample", kPackage, 0, "2 packages: 2 complete, 0 incomplete; 0 findings", {}},
    {"entries no run reads, and doubtful values",
     with(
         kPackage, "config.xml",
         config("  <binary id=\"1\" code=\"TR01\">" + kOValues + "</binary>\n" +
                entry("TR01", "<package_type>E</package_type>") +         // 3, 4
                "  <binary><package_type>E</package_type></binary>\n" +   // 5
                entry("tr02", kEValues) + entry("TR_3", kEValues) +       // 6, 7
                "  <group>" + entry("TR04", kEValues) + "  </group>\n" +  // 8, 9
                entry("TR05",
                      "<package_type> O</package_type><quil_bar_pc>1A2B</quil_bar_pc>"
                      "<market_type>de</market_type>") +  // 10
                entry("TR06",
                      "<package_type>E</package_type><quil_bar_pc> 1A2B</quil_bar_pc>"
                      "<market_type>\n    fr-fr\n  </market_type>") +  // 11 to 13
                entry("TR07", "<package_type>O</package_type><market_type>de</market_type>") +
                entry("TR08", "<package_type>o</package_type><market_type>d\u00e9 </market_type>") +
                entry("TR|9", kEValues))),
     1,
     "5 packages: 4 complete, 1 incomplete; 11 findings",
     {{FindingKind::DuplicateCode, 4},
      {FindingKind::MissingCode, 5},
      {FindingKind::UncarriedCode, 6},
      {FindingKind::UncarriedCode, 7},
      {FindingKind::NotUnderConfig, 8},
      {FindingKind::LooksLikeO, 10},
      {FindingKind::IgnoredBarPc, 11},
      {FindingKind::BlankInValue, 11},
      {FindingKind::LooksLikeO, 15},
      {FindingKind::BlankInValue, 15},
      {FindingKind::UncarriedCode, 16}}},
    {"prepared files that fail every package of a kind, each counted once",
     with(
         with(without(without(kPackage, "kvsetup_e.cif"), "kv-setup_e.cmd"), "kvsetup_o.cif",
              "Bar=B8DF\r\nMarket=en-us\r\n"),
         "config.xml",
         config(entry("TR0107", kOValues) + entry("TR0200", kEValues) + entry("TR0300", kEValues))),
     1,
     "3 packages: 0 complete, 3 incomplete; 3 findings",
     {{FindingKind::PreparedFile, 2},
      {FindingKind::PreparedFile, 2},
      {FindingKind::PreparedFile, 1}}},
    {"a document element of another name",
     with(kPackage, "config.xml", "<settings>\n" + entry("TR01", kEValues) + "</settings>\n"),
     1,
     "0 packages: 0 complete, 0 incomplete; 2 findings",
     {{FindingKind::NoEntries, 0}, {FindingKind::NotUnderConfig, 2}}},
    {"config.xml that does not parse",
     with(kPackage, "config.xml", config(entry("TR01", "<package_type>"))),
     1,
     "config.xml cannot be parsed",
     {}},
    {"no config.xml", without(kPackage, "config.xml"), 1, "there is no config.xml", {}},
    {"entries past line 65535",
     with(kPackage, "config.xml",
          config(std::string(70000, '\n') + entry("TR01", kEValues) + entry("TR01", kEValues))),
     1,
     "1 package: 1 complete, 0 incomplete; 1 finding",
     {{FindingKind::DuplicateCode, 70004}}},
};

class Audit : public testing::TestWithParam<AuditCase> {};

// The audit finds every finding, on its entry's line where the DOM keeps lines,
// counts the packages, sets the exit status, writes nothing and agrees with the
// check of each single launcher.
TEST_P(Audit, FindsWhatTheWholeFileShows) {
  const AuditCase& c = GetParam();
  TempDir package;
  writeFolder(package.path(), c.folder);
  std::string out;
  std::string err;
  EXPECT_EQ(check::runCheckTool({u"--all", package.path().u16string()}, out, err), c.status) << out;
  EXPECT_NE(out.find(c.summary, out.rfind('\n', out.size() - 2)), std::string::npos) << out;
  std::string json;
  check::runCheckTool({u"--all", u"--json", u"--diff", package.path().u16string()}, json, err);
  EXPECT_TRUE(testing_support::isWellFormedJson(json)) << json;
  EXPECT_EQ(readFolder(package.path()), c.folder);

  const testing_support::ScopedCurrentDir inPackage(package.path());
  const check::Audit audit = check::auditPackages();
  // The Windows DOM keeps no lines.
  const bool lines = platform::kPathSeparator == u'/';
  std::vector<Finding> found;
  std::vector<Finding> expected;
  for (const check::AuditFinding& f : audit.findings) {
    found.emplace_back(f.kind, f.kind == FindingKind::PreparedFile ? long(f.packages) : f.line);
  }
  for (const auto& [kind, number] : c.findings) {
    expected.emplace_back(kind, kind == FindingKind::PreparedFile || lines ? number : 0);
  }
  std::sort(found.begin(), found.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected) << out;
  // Each row says what the check of that one launcher says.
  for (const check::AuditRow& row : audit.rows) {
    const check::Diagnosis single = check::diagnosePackage(row.launcherName, true);
    EXPECT_EQ(std::pair(row.complete, row.cause), std::pair(single.complete, single.cause));
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, Audit, testing::ValuesIn(kAuditCases));

// The JSON report holds the same audit, values escaped, one package per line.
TEST(AuditJson, HoldsTheAudit) {
  const AuditCase& c = kAuditCases[1];
  TempDir package;
  writeFolder(package.path(), c.folder);
  std::string out;
  std::string err;
  ASSERT_EQ(
      check::runCheckTool({u"--all", u"--json", u"--diff", package.path().u16string()}, out, err),
      1);
  for (const std::string expected : {
           "\"kind\": \"cif\", \"launcher\": \"TRKVpackage_all_TR01_x.exe\", \"complete\": true, "
           "\"cause\": \"\", \"diffs\": [{\"file\": \"kvsetup.cif\", \"diff\": \"--- a/kvsetup.cif",
           "\\n+Inf=INSTALL_TR01.INF\\n",
           "\"launcher\": \"TRKVpackage_all_TR07_xl.exe\", \"complete\": false, \"cause\": \"the "
           "entry \\\"TR07\\\" is of type \\\"O\\\" but has no <quil_bar_pc>\", \"diffs\": []},",
           "{\"kind\": \"blank-in-value\", \"line\": ",
           "of \\\"TR06\\\" is \\\"\\\\n    fr-fr\\\\n  \\\": its blanks and line breaks are kept "
           "as written\", \"packages\": 0}",
           "of \\\"TR08\\\" is \\\"d\\u00e9 \\\": its",
           "<config>: no run reads it\", \"packages\": 0}",
           "\"summary\": {\"packages\": 5, \"complete\": 4, \"incomplete\": 1, \"findings\": 11, "
           "\"text\": \"5 packages: 4 complete, 1 incomplete; 11 findings\"},\n  \"clean\": "
           "false\n}\n",
       }) {
    EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
  }
}

}  // namespace
