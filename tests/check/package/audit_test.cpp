// The audit of a whole config.xml: the findings at their places, the counts,
// the exit status, and the same findings for an entry as its single check.
#include <gtest/gtest.h>

#include <algorithm>

#include "check/lint/config_lint.h"
#include "check/package/audit.h"
#include "check/report/report.h"
#include "check_support.h"
#include "package_folder.h"
#include "platform/codepage.h"
#include "row_names.h"
#include "test_support.h"

namespace {

using namespace scenario;
using namespace check_support;
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

struct AuditCase {
  const char* what;
  Folder folder;
  int status;
  std::string summary;                // the report's last line
  std::vector<std::string> findings;  // RULE@FILE:LINE:COLUMN, in order
};

// clang-format off
const AuditCase kAuditCases[] = {
    {"the sample", kPackage, 0, "2 packages: 2 complete, 0 incomplete; 0 errors, 0 warnings", {}},
    {"entries no run reads",
     with(kPackage, "config.xml",
          config(entry("TR01", kOValues) + entry("TR01", kEValues) +        // 3, 4
                 "  <binary><package_type>E</package_type></binary>\n" +    // 5
                 entry("tr02", kEValues) + entry("TR_3", kEValues) +        // 6, 7
                 "  <group>" + entry("TR04", kEValues) + "  </group>\n" +   // 8
                 "  <binnary code=\"TR05\">" + kEValues + "</binnary>\n" +  // 10
                 "  <note/>\n")),                                           // 11
     1, "1 package: 1 complete, 0 incomplete; 5 errors, 3 warnings (duplicate-entry 1, "
     "unknown-element 2, unused-entry 5)",
     {"duplicate-entry@config.xml:4:3", "unused-entry@config.xml:5:3",
      "unused-entry@config.xml:6:11", "unused-entry@config.xml:7:11",
      "unknown-element@config.xml:8:3", "unused-entry@config.xml:8:12",
      "unused-entry@config.xml:10:3", "unknown-element@config.xml:11:3"}},
    {"values taken as written",
     with(kPackage, "config.xml",
          config(entry("TR01",
                       "<package_type>o</package_type><quil_bar_pc>1A </quil_bar_pc>"
                       "<market_type>d\xC2\xB0</market_type><market_type>fr</market_type>") +  // 3
                 entry("TR 2",
                       "<package_type>E</package_type><market_type>\xE2\x80\x8B"
                       "fr</market_type>") +  // 4
                 entry("TR03",
                       "<package_type>O</package_type><quil_bar_pc> 1A2B"
                       "</quil_bar_pc>\n<market_type>de\n</market_type>"))),  // 5, 6
     1, "3 packages: 2 complete, 1 incomplete; 1 error, 7 warnings (blank-in-code 1, "
     "blank-in-value 1, ignored-bar-pc 1, invisible-character 1, line-break-in-script 1, "
     "looks-like-o 1, repeated-value 1, wrapped-value 1)",
     {"looks-like-o@config.xml:3:23", "ignored-bar-pc@config.xml:3:53",
      "repeated-value@config.xml:3:112", "blank-in-code@config.xml:4:11",
      "invisible-character@config.xml:4:53", "blank-in-value@config.xml:5:53",
      "wrapped-value@config.xml:6:1", "line-break-in-script@config.xml:6:1"}},
    {"a value beyond ASCII, which the .cmd script gets in another code page",
     with(kPackage, "config.xml",
          config(entry("TR01",
                       "<package_type>O</package_type><quil_bar_pc>1A2B</quil_bar_pc>"
                       "<market_type>fr-\xC3\xA9</market_type>"))),
     0, "1 package: 1 complete, 0 incomplete; 0 errors, 1 warning (script-code-page 1)",
     {"script-code-page@config.xml:3"}},
    {"prepared files that fail every package using them",
     with(
         with(without(kPackage, "kv-setup_e.cmd"), "kvsetup_o.cif", "Bar=B8DF\r\nMarket=en-us\r\n"),
         "config.xml",
         config(entry("TR0107", kOValues) + entry("TR0200", kEValues) + entry("TR0300", kEValues))),
     1, "3 packages: 0 complete, 3 incomplete; 2 errors, 0 warnings (missing-text 1, missing-variant "
     "1)",
     {"missing-variant@kv-setup_e.cmd", "missing-text@kvsetup_o.cif"}},
    {"a document element of another name",
     with(kPackage, "config.xml", "<settings>\n" + entry("TR01", kEValues) + "</settings>\n"),
     1, "0 packages: 0 complete, 0 incomplete; 1 error, 0 warnings (wrong-document-element 1)",
     {"wrong-document-element@config.xml:1:1"}},
    {"config.xml that does not parse",
     with(kPackage, "config.xml", config(entry("TR01", "<package_type>"))),
     1, "0 packages: 0 complete, 0 incomplete; 1 error, 0 warnings (config-unreadable 1)",
     {"config-unreadable@config.xml:3"}},
    {"UTF-8 text in a file declared windows-1252",
     with(kPackage, "config.xml",
          "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<config>\n" +
              entry("TR01", "<package_type>E</package_type><market_type>d\xC3\xBF</market_type>") +
              "</config>\n"),
     0, "1 package: 1 complete, 0 incomplete; 0 errors, 1 warning (encoding-mismatch 1)",
     {"encoding-mismatch@config.xml:3:53"}},
    {"a curly quote in UTF-8, in a file declared windows-1252",
     with(kPackage, "config.xml",
          "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<config>\n" +
              entry("TR01",
                    "<package_type>E</package_type><market_type>\xE2\x80\x99</market_type>") +
              entry("TR02", "<package_type>E</package_type><market_type>\xC3\xA9</market_type>") +
              "</config>\n"),
     0, "2 packages: 2 complete, 0 incomplete; 0 errors, 1 warning (encoding-mismatch 1)",
     {"encoding-mismatch@config.xml:3:53"}},
    {"an unusual encoding",
     with(kPackage, "config.xml",
          "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n<config>\n" + entry("TR01", kEValues) +
              "</config>\n"),
     0, "1 package: 1 complete, 0 incomplete; 0 errors, 1 warning (unusual-encoding 1)",
     {"unusual-encoding@config.xml:1:1"}},
    {"a leftover of an interrupted run",
     with(kPackage, ".pkgcustomize-Xy12Zw", ""),
     0, "2 packages: 2 complete, 0 incomplete; 0 errors, 1 warning (leftover-file 1)",
     {"leftover-file@.pkgcustomize-Xy12Zw"}},
    {"windows-1252 text in a file declared UTF-8, lines ending in CR LF and CR",
     with(kPackage, "config.xml",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r<config>\r\n" +
              entry("TR01", "<package_type>E</package_type><market_type>d\xFF</market_type>") +
              "</config>\r\n"),
     1, "0 packages: 0 complete, 0 incomplete; 1 error, 1 warning (config-unreadable 1, "
     "encoding-mismatch 1)",
     {"config-unreadable@config.xml:*", "encoding-mismatch@config.xml:3:67"}},
    {"UTF-16 without a byte-order mark that does not parse",
     with(kPackage, "config.xml",
          asUtf16le(platform::fromUtf8(
                        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<config>\n" +
                        entry("TR01", "<package_type>E</package_type><market_type>d\xC3\xA9") +
                        "</config>\n"))
              .substr(2)),
     1, "0 packages: 0 complete, 0 incomplete; 1 error, 0 warnings (config-unreadable 1)",
     {"config-unreadable@config.xml:*"}},
    {"no config.xml",
     without(kPackage, "config.xml"),
     1, "0 packages: 0 complete, 0 incomplete; 1 error, 0 warnings (no-config 1)",
     {"no-config@config.xml"}},
    {"entries past line 65535",
     with(kPackage, "config.xml",
          config(std::string(70000, '\n') + entry("TR01", kEValues) + entry("TR01", kEValues))),
     0, "1 package: 1 complete, 0 incomplete; 0 errors, 1 warning (duplicate-entry 1)",
     {"duplicate-entry@config.xml:70004:3"}},
};
// clang-format on

class Audit : public testing::TestWithParam<AuditCase> {};

TEST_P(Audit, FindsWhatTheWholeFileShows) {
  const AuditCase& c = GetParam();
  TempDir package;
  writeFolder(package.path(), c.folder);
  const CheckOutput text = runCheck({u"--all", package.path().u16string()});
  EXPECT_EQ(text.status, c.status) << text.out;
  EXPECT_NE(text.out.find(c.summary + "\n", text.out.rfind('\n', text.out.size() - 2)),
            std::string::npos)
      << text.out;
  const auto report = checkJson({u"--all", package.path().u16string()});
  EXPECT_TRUE(samePlaces(findingPlaces(report), c.findings))
      << testing::PrintToString(findingPlaces(report)) << "\n"
      << report.dump(2);
  EXPECT_EQ(readFolder(package.path()), c.folder);

  // The same bytes given as config.xml of a folder whose file says otherwise
  // (an editor's unsaved buffer) give the same findings and fixes.
  if (const auto bytes = c.folder.find("config.xml"); bytes != c.folder.end()) {
    TempDir other;
    writeFolder(other.path(), with(c.folder, "config.xml", "<config/>"));
    const auto shown = [](const check::Audit& audit) {
      std::vector<std::string> lines;
      for (const check::Finding& f : audit.findings) {
        lines.push_back(check::utf8(f.message) + "@" + std::to_string(f.position.line) + ":" +
                        std::to_string(f.position.column) + (f.fix ? " fixed" : ""));
      }
      return lines;
    };
    EXPECT_EQ(shown(check::auditFolder(other.path().u16string(), bytes->second)),
              shown(check::auditFolder(package.path().u16string(), std::nullopt)));
  }

  // The check of each single package reports nothing about its entry that
  // the audit does not.
  const auto all = report["findings"];
  for (const auto& row : report["packages"]) {
    const auto single =
        checkJson({u"--launcher", platform::fromUtf8(row["launcher"].get<std::string>()),
                   package.path().u16string()});
    for (auto f : single["findings"]) {
      const bool listed = std::any_of(all.begin(), all.end(), [&](auto g) {
        g["packages"] = nullptr;
        return g == f;
      });
      EXPECT_TRUE(listed) << f.dump() << " is missing from the audit";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, Audit, testing::ValuesIn(kAuditCases), testing_support::ByWhat());

// A name no run reads is matched against the known ones, letter case aside,
// and suggested when it is within two edits of one.
struct SuggestionCase {
  const char* what;
  std::string element;
  std::string said;          // found in the finding's line
  bool underConfig = false;  // else in an entry
};

const SuggestionCase kSuggestionCases[] = {
    {"a misspelt entry", "<binnary code=\"TR02\"/>", "did you mean <binary>?", true},
    {"a code in lower case", "<binary code=\"tr02\"/>", "(it does not begin with \"TR\")", true},
    {"a code with a separator", "<binary code=\"TR_2\"/>",
     "(it holds a \"_\", which ends the field)", true},
    {"a code with a control character", "<binary code=\"TR&#9;2\"/>",
     "(it holds a character that file names cannot hold)", true},
    {"an entry of another name", "<package code=\"TR02\"/>",
     "<package code=\"TR02\"> is not an entry, so no run reads it: entries are <binary> elements",
     true},
};

class Suggestion : public testing::TestWithParam<SuggestionCase> {};

TEST_P(Suggestion, NamesTheKnownName) {
  TempDir package;
  const SuggestionCase& c = GetParam();
  const std::string text = c.underConfig ? config(entry("TR01", kEValues) + c.element + "\n")
                                         : config(entry("TR01", kEValues + c.element));
  writeFolder(package.path(), with(kPackage, "config.xml", text));
  const CheckOutput output = runCheck({u"--all", u"--format=gcc", package.path().u16string()});
  EXPECT_NE(output.out.find(c.said), std::string::npos) << output.out;
}

INSTANTIATE_TEST_SUITE_P(Names, Suggestion, testing::ValuesIn(kSuggestionCases),
                         testing_support::ByWhat());

// "Did you mean" names the closest known name, not merely one close enough;
// of names as close, the same one whatever their order.
struct ClosestCase {
  const char* what;
  std::u16string name;
  std::vector<std::u16string> known;
  std::u16string closest;
};

const ClosestCase kClosestCases[] = {
    {"the closer of two near", u"colr", {u"colour", u"color"}, u"color"},
    {"a tie, in code-unit order", u"cat", {u"cut", u"bat"}, u"bat"},
    {"letter case aside", u"MARKET_TYPE", {u"package_type", u"market_type"}, u"market_type"},
    {"two edits", u"colr", {u"colour"}, u"colour"},
    {"three edits", u"mrket_tp", {u"market_type"}, u""},
};

class Closest : public testing::TestWithParam<ClosestCase> {};

TEST_P(Closest, IsTheNearestKnownName) {
  const ClosestCase& c = GetParam();
  EXPECT_EQ(check::closestName(c.name, c.known), c.closest);
}

INSTANTIATE_TEST_SUITE_P(Names, Closest, testing::ValuesIn(kClosestCases),
                         testing_support::ByWhat());

}  // namespace
