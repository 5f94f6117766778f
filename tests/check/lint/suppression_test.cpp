// Suppression comments in config.xml: which findings they keep out, in every
// format, and what they leave as it is (the run's verdict).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "check_support.h"
#include "package_folder.h"
#include "row_names.h"
#include "test_support.h"

namespace {

using namespace scenario;
using namespace check_support;
using testing_support::TempDir;

std::string config(const std::string& before, const std::string& first,
                   const std::string& second =
                       "<package_type>E</package_type>\n"
                       "    <market_type>fr-fr</market_type>") {
  return "<?xml version=\"1.0\"?>\n" + before + "<config>\n  " + first +
         "\n  <binary code=\"TR0200\">\n    " + second + "\n  </binary>\n</config>\n";
}

std::string entry(const std::string& market, const std::string& before = "") {
  return before +
         "<binary code=\"TR0107\">\n    <package_type>O</package_type>\n"
         "    <quil_bar_pc>1A2B</quil_bar_pc>\n    " +
         market + "\n  </binary>";
}

std::string ignore(const std::string& rules) {
  return "<!-- pkgcustomize-check: ignore " + rules + " -->";
}

const std::string kBlankMarket = "<market_type>de-de </market_type>";

struct SuppressionCase {
  const char* what;
  std::string config;
  std::vector<std::u16string> args;
  std::vector<std::string> kept;        // the rules of the findings reported, in their order
  std::vector<std::string> suppressed;  // those kept out
  int status;
  std::string text;  // found in the text report
};

// clang-format off
const SuppressionCase kCases[] = {
    {"a value", config("", entry(ignore("blank-in-value") + "\n    " + kBlankMarket)),
     {u"--all"}, {}, {"blank-in-value"}, 0, "0 errors, 0 warnings; 1 suppressed"},
    {"an entry, and only its own findings",
     config("", entry(kBlankMarket, ignore("blank-in-value") + "\n  "),
            "<package_type>E</package_type>\n    <market_type> fr-fr</market_type>"),
     {u"--all"}, {"blank-in-value"}, {"blank-in-value"}, 0, "0 errors, 1 warning (blank-in-value 1); 1 suppressed"},
    {"the whole file, from before the document element",
     config(ignore("blank-in-value") + "\n", entry(kBlankMarket),
            "<package_type>E</package_type>\n    <market_type> fr-fr</market_type>"),
     {u"--all"}, {}, {"blank-in-value", "blank-in-value"}, 0, "2 suppressed"},
    {"a run's finding at no place, from before the document element",
     config(ignore("no-entry") + "\n", entry(kBlankMarket)), {u"--launcher=TRKVpack_v2_TR0999_x.exe"},
     {}, {"no-entry"}, 0, "verdict        incomplete: config.xml has no <binary code=\"TR0999\">"},
    {"an empty element, whose run still stops",
     config("", "<binary code=\"TR0107\">\n    <package_type>O</package_type>\n    " + ignore("empty-value") +
                "<quil_bar_pc/>\n    <market_type>de-de</market_type>\n  </binary>"),
     {u"--all"}, {}, {"empty-value"}, 0, "TR0107      3  .cif  incomplete: <quil_bar_pc> of the entry \"TR0107\" is empty"},
    {"nothing to keep out, and no such rule",
     config("", entry("<market_type>de-de</market_type>", ignore("wrapped-value, no-such-rule") + "\n  ")),
     {u"--all"}, {"unused-suppression", "unused-suppression"}, {}, 0,
     "config.xml:3:3: warning: the suppression of \"wrapped-value\" keeps no finding out"},
    {"another rule than the finding's",
     config("", entry(ignore("wrapped-value") + "\n    " + kBlankMarket)),
     {u"--all"}, {"unused-suppression", "blank-in-value"}, {}, 0,
     "0 errors, 2 warnings (blank-in-value 1, unused-suppression 1)"},
    {"an error that stops the run, which still stops it",
     config("", entry("", ignore("missing-value") + "\n  ")),
     {u"--launcher=TRKVpack_v2_TR0107_x.exe"}, {}, {"missing-value"}, 0,
     "verdict        incomplete: the entry \"TR0107\" has no <market_type>"},
    {"unused in the check of one package: not reported",
     config("", entry("<market_type>de-de</market_type>", ignore("wrapped-value") + "\n  ")),
     {u"--launcher=TRKVpack_v2_TR0107_x.exe"}, {}, {}, 0, "verdict        complete"},
};
// clang-format on

std::vector<std::string> rulesOf(const nlohmann::json& findings) {
  std::vector<std::string> rules;
  for (const auto& f : findings) rules.push_back(f["rule"]);
  return rules;
}

class Suppressions : public testing::TestWithParam<SuppressionCase> {};

TEST_P(Suppressions, KeepTheirFindingsOutOfEveryFormat) {
  const SuppressionCase& c = GetParam();
  TempDir package;
  writeFolder(package.path(), with(samplePackage(), "config.xml", c.config));
  std::vector<std::u16string> args = c.args;
  args.push_back(package.path().u16string());

  int status = -1;
  const nlohmann::json report = checkJson(args, &status);
  EXPECT_EQ(rulesOf(report["findings"]), c.kept);
  EXPECT_EQ(rulesOf(report["suppressed"]), c.suppressed);
  EXPECT_EQ(report["summary"]["suppressed"], c.suppressed.size());
  EXPECT_EQ(status, c.status);

  const CheckOutput text = runCheck(args);
  EXPECT_NE(text.out.find(c.text), std::string::npos) << text.out;

  args.push_back(u"--format=gcc");
  const CheckOutput gcc = runCheck(args);
  for (const std::string& rule : c.suppressed) {
    if (std::find(c.kept.begin(), c.kept.end(), rule) != c.kept.end()) continue;
    EXPECT_EQ(gcc.out.find("[" + rule + "]"), std::string::npos) << gcc.out;
  }

  args.back() = u"--format=sarif";
  const nlohmann::json sarif = nlohmann::json::parse(runCheck(args).out);
  std::vector<std::string> inSource;
  for (const auto& result : sarif["runs"][0]["results"]) {
    if (result.contains("suppressions")) {
      EXPECT_EQ(result["suppressions"], nlohmann::json::parse(R"([{"kind": "inSource"}])"));
      inSource.push_back(result["ruleId"]);
    }
  }
  EXPECT_EQ(inSource, c.suppressed);
}

// What a comment says is meant, --fix leaves as it is.
TEST(Suppressions, AreNotMended) {
  TempDir package;
  const std::string meant = config("", entry(ignore("blank-in-value") + "\n    " + kBlankMarket));
  writeFolder(package.path(), with(samplePackage(), "config.xml", meant));
  EXPECT_EQ(runCheck({u"--all", u"--fix", package.path().u16string()}).status, 0);
  EXPECT_EQ(readFolder(package.path()).at("config.xml"), meant);
}

INSTANTIATE_TEST_SUITE_P(Comments, Suppressions, testing::ValuesIn(kCases),
                         testing_support::ByWhat());

}  // namespace
