// What the check tool prints in each format, and its exit statuses.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <regex>
#include <sstream>

#include "check/lint/finding.h"
#include "check/lsp/session.h"
#include "check/report/line_report.h"
#include "check_support.h"
#include "package_folder.h"
#include "platform/codepage.h"
#include "row_names.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace scenario;
using namespace check_support;
using testing_support::TempDir;

const Folder kPackage = samplePackage();

// A package with an error (the .cmd variant lacks "en-us") and a warning (a
// wrapped market type), in a folder named beyond windows-1252.
struct Mistakes {
  TempDir dir;
  fs::path package = dir / fs::path(u"\u041f\u0430\u043a\u0435\u0442");
  Mistakes() {
    fs::create_directory(package);
    writeFolder(package, with(with(kPackage, "kv-setup_o.cmd", "set BAR=B8DF\r\n"), "config.xml",
                              oneEntryConfig({"<package_type>O</package_type>",
                                              "<quil_bar_pc>1A2B</quil_bar_pc>",
                                              "<market_type>\n  d\xC3\xA9-de%</market_type>"})));
  }
};

struct FormatCase {
  const char* what;
  std::vector<std::u16string> args;
  std::vector<std::string> lines;  // patterns, one per line of the output
};

const FormatCase kFormatCases[] = {
    {"gcc",
     {u"--all", u"--format=gcc"},
     {R"(.*[/\\]Пакет[/\\]config\.xml:6:5: warning: <market_type> of "TR0107" is "\\n  dé-de%": it holds line breaks, which are kept as written \[wrapped-value\])",
      R"(.*[/\\]Пакет[/\\]config\.xml:6:18: note: fix-it: remove "\\n  " before the value)",
      R"(.*[/\\]Пакет[/\\]config\.xml:6:5: error: <market_type> of "TR0107" is "\\n  dé-de%": the \.cmd script gets it on several lines, and cmd\.exe runs each line after the first as a command \[line-break-in-script\])",
      R"(.*[/\\]Пакет[/\\]kv-setup_o\.cmd:1:1: error: kv-setup_o\.cmd lacks "en-us", so its copy kv-setup\.cmd is left unpatched and the run stops there \[missing-text\])"}},
    {"github",
     {u"--all", u"--format", u"github"},
     {R"(::warning file=.*[/\\]Пакет[/\\]config\.xml,line=6,col=5,title=wrapped-value::<market_type> of "TR0107" is "\\n  dé-de%25": it holds line breaks, which are kept as written)",
      R"(::error file=.*[/\\]Пакет[/\\]config\.xml,line=6,col=5,title=line-break-in-script::.*)",
      R"(::error file=.*[/\\]Пакет[/\\]kv-setup_o\.cmd,line=1,col=1,title=missing-text::kv-setup_o\.cmd lacks "en-us".*)"}},
    {"gcc for one package",
     {u"--launcher=TRKVa_b_TR0107_x.exe", u"--format=gcc"},
     {R"(.*config\.xml:6:5: warning: .* \[wrapped-value\])",
      R"(.*config\.xml:6:18: note: fix-it: .*)"}},
};

class Format : public testing::TestWithParam<FormatCase> {};

TEST_P(Format, PrintsOneFindingALine) {
  const FormatCase& c = GetParam();
  const Mistakes mistakes;
  std::vector<std::u16string> args = c.args;
  args.push_back(mistakes.package.u16string());
  const CheckOutput output = runCheck(args);
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < output.out.size(); at = output.out.find('\n', at) + 1) {
    lines.push_back(output.out.substr(at, output.out.find('\n', at) - at));
  }
  ASSERT_EQ(lines.size(), c.lines.size()) << output.out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(c.lines[i]))) << lines[i];
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, Format, testing::ValuesIn(kFormatCases),
                         testing_support::ByWhat());

// SARIF: every rule described, each result with a rule, a level, a sentence
// and its place relative to the package folder.
TEST(Sarif, DescribesRulesAndPlacesResults) {
  const Mistakes mistakes;
  const CheckOutput output = runCheck({u"--all", u"--format=sarif", mistakes.package.u16string()});
  const auto sarif = nlohmann::json::parse(output.out);
  EXPECT_EQ(sarif["version"], "2.1.0");
  const auto& run = sarif["runs"].at(0);
  const auto& rules = run["tool"]["driver"]["rules"];
  ASSERT_EQ(rules.size(), check::allRules().size());
  for (const auto& result : run["results"]) {
    const auto& rule = rules.at(result["ruleIndex"].get<std::size_t>());
    EXPECT_EQ(result["ruleId"], rule["id"]);
    EXPECT_EQ(result["level"], rule["defaultConfiguration"]["level"]);
    EXPECT_TRUE(result["message"]["text"].get<std::string>().ends_with("."));
    const auto& place = result["locations"].at(0)["physicalLocation"];
    EXPECT_EQ(place["artifactLocation"]["uriBaseId"], "PACKAGE");
  }
  EXPECT_EQ(rules.at(static_cast<std::size_t>(check::RuleId::WrappedValue))["name"],
            "WrappedValue");
  EXPECT_EQ(run["results"].at(0)["locations"].at(0)["physicalLocation"]["region"],
            (nlohmann::json{{"startLine", 6}, {"startColumn", 5}}));
  EXPECT_TRUE(run["originalUriBaseIds"]["PACKAGE"]["uri"].get<std::string>().ends_with(
      "/%D0%9F%D0%B0%D0%BA%D0%B5%D1%82/"));
}

// A message that asks a question ends in its question mark alone.
TEST(Sarif, EndsAQuestionWithItsMark) {
  TempDir package;
  writeFolder(
      package.path(),
      with(kPackage, "config.xml",
           oneEntryConfig({"<package_type>O</package_type>", "<markt_type>x</markt_type>"})));
  const auto sarif = nlohmann::json::parse(
      runCheck({u"--all", u"--format=sarif", package.path().u16string()}).out);
  std::vector<std::string> messages;
  for (const auto& result : sarif["runs"][0]["results"])
    messages.push_back(result["message"]["text"]);
  EXPECT_NE(std::find(messages.begin(), messages.end(),
                      "<markt_type> in the entry \"TR0107\" is not read by any run: did you mean "
                      "<market_type>?"),
            messages.end())
      << testing::PrintToString(messages);
}

// The JSON has the same keys whether a run gets to the end or stops early.
TEST(Json, KeepsItsShape) {
  TempDir package;
  writeFolder(package.path(), kPackage);
  const auto complete =
      checkJson({u"--launcher", platform::fromUtf8(kO), package.path().u16string()});
  const auto early = checkJson({u"--launcher=KV.exe", package.path().u16string()});
  const auto keys = [](const nlohmann::json& object) {
    std::vector<std::string> names;
    for (const auto& [key, value] : object.items()) {
      names.push_back(key);
      if (value.is_object() && key != "byRule") {
        for (const auto& [inner, _] : value.items()) names.push_back(key + "." + inner);
      }
    }
    return names;
  };
  EXPECT_EQ(keys(complete), keys(early));
  EXPECT_TRUE(early["settings"]["useEVariant"].is_null());
  EXPECT_EQ(early["launcher"]["given"], "KV.exe");
  EXPECT_EQ(complete["settings"]["useEVariant"], false);
  EXPECT_EQ(complete["complete"], true);
  EXPECT_TRUE(complete["cause"].is_null());
  EXPECT_EQ(early["complete"], false);
  EXPECT_EQ(early["cause"], early["findings"].at(0)["message"]);
  EXPECT_EQ(complete["launcher"]["source"], "command-line");
  EXPECT_EQ(complete["patches"].at(0)["substitutions"].at(2),
            (nlohmann::json{
                {"searched", "en-us"}, {"replacement", "de-de"}, {"found", true}, {"line", 4}}));
  EXPECT_TRUE(complete["changes"].at(0)["diff"].is_null());
  EXPECT_EQ(complete["patches"].at(0)["infName"], true);

  // The audit's rows: the .cif kind, then the .cmd kind, with the diffs of
  // the first package of each outcome.
  const auto all = checkJson({u"--all", u"--diff", package.path().u16string()});
  const auto& rows = all["packages"];
  ASSERT_EQ(rows.size(), 4u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i]["kind"], i % 2 == 0 ? "cif" : "cmd");
    EXPECT_TRUE(
        rows[i]["launcher"].get<std::string>().ends_with(i % 2 == 0 ? "_x.exe" : "_xl.exe"));
  }
  EXPECT_TRUE(rows[0]["diffs"].at(0)["diff"].get<std::string>().starts_with("--- a/kvsetup.cif"));
}

// What a reader would misread is escaped: line breaks, tabs and invisible
// blanks in quoted values, and the characters that end a GitHub workflow
// command's data or property.
TEST(Escapes, KeepEachReaderRight) {
  EXPECT_EQ(check::quoted(u"a\r\n\tb\u00A0"), u"\"a\\r\\n\\tb\\u00A0\"");
  for (const char16_t unit : std::u16string_view(
           u"\u00A0\u00AD\u1680\u180E\u2000\u200F\u2028\u2029\u202F\u205F\u2060\u3000\uFEFF")) {
    EXPECT_TRUE(check::isInvisibleCharacter(unit)) << static_cast<int>(unit);
  }
  for (const char16_t unit : std::u16string_view(u"\u1FFF\u2010\u2027\u2030a")) {
    EXPECT_FALSE(check::isInvisibleCharacter(unit)) << static_cast<int>(unit);
  }
  const check::ReportContext context{u"/p", u"", false, false};
  EXPECT_EQ(check::githubReport(
                context, {check::makeFinding(check::RuleId::RunError, u"a:b,c", u"1%\r\n2:3,4"),
                          check::makeFinding(check::RuleId::NoLauncher, u"", u"m")}),
            "::error file=a%3Ab%2Cc,line=1,col=1,title=run-error::1%25%0D%0A2:3,4\n"
            "::error title=no-launcher::m\n");
}

// GitHub shows ten error and ten warning annotations of a step: past that,
// one notice at the end, counted over every folder, points to SARIF.
TEST(Github, SaysOnceWhenGithubDropsAnnotations) {
  struct Row {
    std::vector<std::pair<int, int>> folders;  // errors and warnings of each folder
    bool notice;
  };
  for (const Row& row : {Row{{{10, 10}}, false}, Row{{{11, 0}}, true}, Row{{{0, 11}}, true},
                         Row{{{6, 1}, {5, 1}}, true}, Row{{{5, 5}, {5, 5}}, false}}) {
    std::vector<check::FolderReport> reports(row.folders.size());
    for (std::size_t i = 0; i < reports.size(); ++i) {
      for (int e = 0; e < row.folders[i].first; ++e) reports[i].text += "::error title=x::y\n";
      for (int w = 0; w < row.folders[i].second; ++w) reports[i].text += "::warning title=x::y\n";
    }
    const std::string out = check::githubLines(reports);
    const std::size_t notice = out.find("::notice title=pkgcustomize-check::");
    EXPECT_EQ(notice != std::string::npos, row.notice) << out;
    if (row.notice) {
      EXPECT_EQ(out.find("::notice", notice + 1), std::string::npos);
      EXPECT_TRUE(out.ends_with("--format sarif, uploaded to code scanning\n")) << out;
    }
  }
}

struct StatusCase {
  const char* what;
  std::vector<std::u16string> args;  // after the mistakes folder
  int status;
  std::string output;  // found in what is printed
};

// clang-format off
const StatusCase kStatusCases[] = {
    {"an error", {u"--all"}, 1, "2 errors, 1 warning"},
    {"only a warning", {u"--launcher=TRKVa_b_TR0107_x.exe"}, 0, "with 1 warning"},
    {"a warning with strict", {u"--launcher=TRKVa_b_TR0107_x.exe", u"--strict"}, 1, "warning"},
    {"help", {u"--help"}, 0, "docs/rules.md"},
    {"help as on Windows", {u"/?"}, 0, "--format FORMAT"},
    {"version", {u"--version"}, 0, "pkgcustomize-check "},
    {"json as a synonym", {u"--json", u"--launcher=TRKVa_b_TR0107_x.exe"}, 0, "\"schemaVersion\": 1"},
    {"an unknown option", {u"--bogus"}, 2, "unknown option --bogus"},
    {"an unknown format", {u"--format=xml"}, 2, "unknown format \"xml\" (text, json, gcc, sarif or github)"},
    {"launcher without a name", {u"--launcher="}, 2, "--launcher needs a name"},
    {"format without a value", {u"--format"}, 2, "--format needs a value"},
    {"a second folder that does not exist", {u"one"}, 2, "the folder one does not exist"},
    {"all with a launcher", {u"--all", u"--launcher=TRKVa_b_TR0107_x.exe"}, 2,
     "--all and --launcher exclude each other"},
    {"only failures without all", {u"--only-failures"}, 2, "--only-failures needs --all"},
    {"a dry run without fix", {u"--dry-run"}, 2, "--dry-run needs --fix"},
    {"standard input without its name", {u"-"}, 2, "- (standard input) needs --stdin-filename"},
    {"a name for standard input not read", {u"--stdin-filename=a/config.xml"}, 2, "needs - among"},
    {"standard input is not mended", {u"--fix", u"--stdin-filename=config.xml", u"-"}, 2,
     "--fix cannot mend standard input"},
};
// clang-format on

class Status : public testing::TestWithParam<StatusCase> {};

TEST_P(Status, FollowsTheRules) {
  const Mistakes mistakes;
  std::vector<std::u16string> args = GetParam().args;
  args.insert(args.begin(), mistakes.package.u16string());
  const CheckOutput output = runCheck(args);
  EXPECT_EQ(output.status, GetParam().status) << output.out << output.err;
  EXPECT_NE((output.out + output.err).find(GetParam().output), std::string::npos)
      << output.out << output.err;
}

INSTANTIATE_TEST_SUITE_P(Arguments, Status, testing::ValuesIn(kStatusCases),
                         testing_support::ByWhat());

// Every rule stands at its id's place, and docs/rules.md explains each under
// its name and severity.
TEST(Rules, AreInPlaceAndDocumented) {
  for (std::size_t i = 0; i < check::allRules().size(); ++i) {
    EXPECT_EQ(check::allRules()[i].id, static_cast<check::RuleId>(i)) << check::allRules()[i].name;
  }
  std::ifstream in(PKGCUSTOMIZE_SOURCE_DIR "/docs/rules.md");
  if (!in) GTEST_SKIP() << "the sources are not at hand";
  std::ostringstream text;
  text << in.rdbuf();
  for (const check::Rule& rule : check::allRules()) {
    const std::string heading = std::string("### `") + rule.name + "` (" +
                                (rule.severity == check::Severity::Error ? "error" : "warning") +
                                ")";
    EXPECT_NE(text.str().find(heading), std::string::npos) << heading;
    std::string anchor = "#";  // the heading's, as GitHub makes it
    for (const char c : heading.substr(4)) {
      if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == ' ')
        anchor += c == ' ' ? '-' : c;
    }
    EXPECT_TRUE(check::lsp::ruleLink(rule).ends_with(anchor)) << anchor;
  }
}

// The text reports, whole: the run step by step with its diffs, and the
// audit's failing rows, with the folder's path shown as FOLDER.
struct TextCase {
  const char* what;
  std::vector<std::u16string> args;  // the folder follows
  std::string text;
};

const TextCase kTextCases[] = {
    {"a cmd run that stops at a missing text",
     {u"--launcher", u"TRKVa_b_TR0107_xl.exe", u"--diff"},
     "launcher       \"TRKVa_b_TR0107_xl.exe\" (given with --launcher)\n"
     "package code   TR0107\n"
     "kind           .cmd launcher (its setup script is kv-setup.cmd)\n"
     "config.xml     FOLDER/config.xml\n"
     "  entry        <binary code=\"TR0107\"> at line 3\n"
     "  variant      kv-setup_o.cmd (package_type is \"O\")\n"
     "  barPc        \"1A2B\" (quil_bar_pc)\n"
     "  market       \"de-de\" (market_type)\n"
     "copy           kv-setup_o.cmd over kv-setup.cmd: copied\n"
     "patch 1        kvsetup.cif: INF name\n"
     "  line 2       \"INSTALL.INF\" -> \"INSTALL_TR0107.INF\"\n"
     "  result       rewritten\n"
     "patch 2        kv-setup.cmd: barPc and market\n"
     "  line 1       \"B8DF\" -> \"1A2B\"\n"
     "  NOT FOUND    \"en-us\" -> \"de-de\"\n"
     "  result       left alone: a text is missing\n"
     "findings\n"
     "  FOLDER/kv-setup_o.cmd: error: kv-setup_o.cmd lacks \"en-us\", so its copy kv-setup.cmd is "
     "left unpatched and the run stops there [missing-text]\n"
     "verdict        incomplete: kv-setup_o.cmd lacks \"en-us\", so its copy kv-setup.cmd is left "
     "unpatched and the run stops there\n"
     "\n--- /dev/null\n+++ b/kv-setup.cmd\n@@ -0,0 +1 @@\n+set BAR=B8DF\n"
     "\n--- a/kvsetup.cif\n+++ b/kvsetup.cif\n@@ -1,4 +1,4 @@\n [Setup]\n-Inf=INSTALL.INF\n"
     "+Inf=INSTALL_TR0107.INF\n Bar=B8DF\n Market=en-us\n"},
    {"the failing rows of an audit",
     {u"--all", u"--only-failures"},
     "config.xml     FOLDER/config.xml\n"
     "\n"
     "code     line  kind  result\n"
     "TR0107      3  .cmd  incomplete: kv-setup_o.cmd lacks \"en-us\", so its copy kv-setup.cmd is "
     "left unpatched and the run stops there\n"
     "\n"
     "findings\n"
     "  FOLDER/kv-setup_o.cmd: error: kv-setup_o.cmd lacks \"en-us\", so its copy kv-setup.cmd is "
     "left unpatched and the run stops there (breaks 1 package) [missing-text]\n"
     "\n"
     "2 packages: 1 complete, 1 incomplete; 1 error, 0 warnings (missing-text 1)\n"},
};

class Text : public testing::TestWithParam<TextCase> {};

TEST_P(Text, ReadsAsItShould) {
  TempDir dir;
  const fs::path package = dir / fs::path(u"\u041f\u0430\u043a\u0435\u0442");
  fs::create_directory(package);
  writeFolder(package, with(kPackage, "kv-setup_o.cmd", "set BAR=B8DF\r\n"));
  std::vector<std::u16string> args = GetParam().args;
  args.push_back(package.u16string());
  std::string text = runCheck(args).out;
  const std::string folder = reinterpret_cast<const char*>(package.u8string().c_str());
  for (auto at = text.find(folder); at != std::string::npos; at = text.find(folder, at)) {
    text.replace(at, folder.size(), "FOLDER");
  }
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  EXPECT_EQ(text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Reports, Text, testing::ValuesIn(kTextCases), testing_support::ByWhat());

}  // namespace
