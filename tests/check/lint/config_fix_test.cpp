// --fix: what it mends, byte for byte, and what it leaves; the same edits in
// SARIF; nothing written by --dry-run or by a second --fix.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>

#include "check/lint/config_fix.h"
#include "check/lint/fix_run.h"
#include "check/lint/source_text.h"
#include "check_support.h"
#include "package_folder.h"
#include "platform/codepage.h"
#include "row_names.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace scenario;
using namespace check_support;
using testing_support::readFile;
using testing_support::TempDir;

// config.xml with the entries given, one to a line from line 3.
std::string configOf(const std::vector<std::string>& entries) {
  std::string text = "<?xml version=\"1.0\"?>\n<config>\n";
  for (const std::string& entry : entries) text += "  " + entry + "\n";
  return text + "</config>\n";
}

std::string entry(const std::string& code, const std::string& market,
                  const std::string& type = "<package_type>E</package_type>") {
  return "<binary code=\"" + code + "\">" + type + market + "</binary>";
}

// config.xml of one entry, TR0107, whose market is `value`.
std::string withMarket(const std::string& value) {
  return configOf({entry("TR0107", "<market_type>" + value + "</market_type>")});
}

struct FixCase {
  const char* what;
  std::string config;
  std::string fixed;              // config.xml after --fix; empty: unchanged
  std::vector<std::string> left;  // the rules of config.xml's findings after it
};

const std::string kNbsp = "\xC2\xA0";
const std::string kZeroWidth = "\xE2\x80\x8B";

const std::string kMended = withMarket("de-de");

// clang-format off
const FixCase kFixCases[] = {
    {"wrapped value",
     oneEntryConfig({"<package_type>O</package_type>", "<quil_bar_pc>1A2B</quil_bar_pc>",
                     "<market_type>\n      de-de\n    </market_type>"}),
     oneEntryConfig({"<package_type>O</package_type>", "<quil_bar_pc>1A2B</quil_bar_pc>",
                     "<market_type>de-de</market_type>"}),
     {}},
    {"wrapped value with CR LF",
     "<config>\r\n  <binary code=\"TR0107\">\r\n    <package_type>E</package_type>\r\n"
     "    <market_type>\r\n      de-de\r\n    </market_type>\r\n  </binary>\r\n</config>\r\n",
     "<config>\r\n  <binary code=\"TR0107\">\r\n    <package_type>E</package_type>\r\n"
     "    <market_type>de-de</market_type>\r\n  </binary>\r\n</config>\r\n",
     {}},
    {"blanks around a value", withMarket(" \tde-de  "), kMended, {}},
    {"blanks around a value that ends in ;", withMarket(" de-de;"), withMarket("de-de;"), {}},
    {"blanks around a value holding a reference", withMarket(" de&amp;de "), withMarket("de&amp;de"), {}},
    {"a type that looks like O",
     configOf({entry("TR0107", "<market_type>de-de</market_type>",
                     "<package_type> O</package_type><quil_bar_pc>1</quil_bar_pc>")}),
     configOf({entry("TR0107", "<market_type>de-de</market_type>",
                     "<package_type>O</package_type><quil_bar_pc>1</quil_bar_pc>")}),
     {}},
    {"a lower-case o is not certain",
     configOf({entry("TR0107", "<market_type>de-de</market_type>", "<package_type>o</package_type>")}),
     "", {"looks-like-o"}},
    {"a line break inside a value is not certain", withMarket("de-\nde"), "", {"wrapped-value"}},
    {"a no-break space and a blank after a value", withMarket("de-de" + kNbsp + " "), kMended, {}},
    {"a no-break space alone after a blank", withMarket("de-de " + kNbsp), kMended, {}},
    {"an invisible character inside a value is not certain",
     withMarket("de" + kZeroWidth + "-de "), "", {"blank-in-value", "invisible-character"}},
    {"a character reference at the end", withMarket("de-de&#160;"), "", {"invisible-character"}},
    {"a comment inside a value", withMarket(" de-de<!-- x -->"), "", {"blank-in-value"}},
    {"a misspelt value element",
     configOf({entry("TR0107", "<market_typ>de-de</market_typ>")}), kMended, {}},
    {"a misspelt empty value element",
     configOf({entry("TR0107", "<market_typ/>")}), configOf({entry("TR0107", "<market_type/>")}),
     {"empty-value"}},
    {"blanks around a value whose start tag quotes a >",
     configOf({entry("TR0107", "<market_type a=\"x>\"> de-de</market_type>")}),
     configOf({entry("TR0107", "<market_type a=\"x>\">de-de</market_type>")}), {}},
    {"a misspelt value element holding a comment with a tag",
     configOf({entry("TR0107", "<market_typ><!--<a>-->de-de</market_typ>")}),
     configOf({entry("TR0107", "<market_type><!--<a>-->de-de</market_type>")}), {}},
    {"a misspelt value element beside the right one",
     configOf({entry("TR0107", "<market_type>de-de</market_type><market_typ>fr</market_typ>")}),
     "", {"unknown-element"}},
    {"blanks and no-break spaces in a code",
     configOf({entry(kNbsp + "TR 0107" + kNbsp, "<market_type>de-de</market_type>")}), kMended, {}},
    {"blanks in a code with an invisible character inside",
     configOf({entry("TR" + kZeroWidth + "0107 ", "<market_type>de-de</market_type>")}),
     configOf({entry("TR" + kZeroWidth + "0107", "<market_type>de-de</market_type>")}),
     {"invisible-character"}},
    {"blanks in a code that another entry has",
     configOf({entry("TR0107", "<market_type>de-de</market_type>"),
               entry("TR0107 ", "<market_type>fr-fr</market_type>")}), "", {"blank-in-code"}},
    {"a misspelt entry",
     configOf({"<binnary code=\"TR0107\">\n    <package_type>E</package_type>\n"
               "    <market_type>de-de</market_type>\n  </binnary>"}),
     configOf({"<binary code=\"TR0107\">\n    <package_type>E</package_type>\n"
               "    <market_type>de-de</market_type>\n  </binary>"}),
     {}},
    {"a misspelt entry whose code is taken",
     configOf({entry("TR0107", "<market_type>de-de</market_type>"),
               "<binnary code=\"TR0107\"><package_type>E</package_type></binnary>"}),
     "",
     {"unused-entry"}},
};
// clang-format on

class Fix : public testing::TestWithParam<FixCase> {};

std::vector<std::string> configRules(const nlohmann::json& report) {
  std::vector<std::string> rules;
  for (const auto& f : report.at("findings")) {
    if (f.at("file") == "config.xml") rules.push_back(f.at("rule"));
  }
  return rules;
}

TEST_P(Fix, MendsWhatIsCertainAndNothingElse) {
  const FixCase& c = GetParam();
  const TempDir package;
  writeFolder(package.path(), with(samplePackage(), "config.xml", c.config));
  const auto report = checkJson({u"--all", u"--fix", package.path().u16string()});
  const std::string fixed = c.fixed.empty() ? c.config : c.fixed;
  EXPECT_EQ(readFile(package / "config.xml"), fixed);
  EXPECT_EQ(configRules(report), c.left);
  const auto again = checkJson({u"--all", u"--fix", package.path().u16string()});
  EXPECT_EQ(readFile(package / "config.xml"), fixed);
  EXPECT_EQ(again.at("findings"), report.at("findings"));
}

INSTANTIATE_TEST_SUITE_P(Cases, Fix, testing::ValuesIn(kFixCases), testing_support::ByWhat());

// A fix whose edits overlap each other or those of a fix made before it, or
// reach past the end, is left out whole: none of its edits is made, though
// some would fit.
TEST(ApplyFixes, MakesEachFixWholeOrNotAtAll) {
  const auto fix = [](check::RuleId id, std::vector<std::pair<std::size_t, std::size_t>> ranges,
                      const std::string& bytes) {
    check::Finding f = check::makeFinding(id, u"config.xml", u"m");
    check::FileEdits edits;
    for (const auto& [offset, length] : ranges)
      edits.push_back({offset, length, bytes, {}, {}, {}});
    f.fix = check::Fix{u"d", std::move(edits)};
    return f;
  };
  const std::vector<check::Finding> findings = {
      fix(check::RuleId::WrappedValue, {{3, 5}}, "HELLO"),
      fix(check::RuleId::UnknownElement, {{1, 1}, {10, 1}, {6, 2}}, "b"),  // the last overlaps
      fix(check::RuleId::BlankInValue, {{3, 0}}, " "),  // inserts where the first begins
      fix(check::RuleId::UnusedEntry, {{12, 1}}, "x"),  // past the end
      fix(check::RuleId::BlankInCode, {{8, 0}}, "!"),   // inserts where the first ends
      fix(check::RuleId::RepeatedValue, {{11, 1}, {10, 1}, {10, 1}}, "z"),  // its own overlap
      fix(check::RuleId::LooksLikeO, {{1, 1}}, "c"),
      fix(check::RuleId::LeftoverFile, {{0, 1}}, "?"),
  };
  check::Finding removal = check::makeFinding(check::RuleId::LeftoverFile, u"x.tmp", u"m");
  removal.fix = check::Fix{u"d", check::FileRemoval{}};
  std::vector<check::Finding> all = findings;
  all.push_back(removal);
  const check::AppliedFixes applied = check::applyFixes("<a>hello</a>", all);
  EXPECT_EQ(applied.bytes, "?c>HELLO!</a>");
  std::vector<check::RuleId> made;
  for (const auto& f : applied.made) made.push_back(f.rule);
  std::vector<check::RuleId> skipped;
  for (const auto& f : applied.skipped) skipped.push_back(f.rule);
  EXPECT_EQ(made,
            (std::vector<check::RuleId>{check::RuleId::WrappedValue, check::RuleId::BlankInCode,
                                        check::RuleId::LooksLikeO, check::RuleId::LeftoverFile}));
  EXPECT_EQ(skipped,
            (std::vector<check::RuleId>{check::RuleId::UnknownElement, check::RuleId::BlankInValue,
                                        check::RuleId::UnusedEntry, check::RuleId::RepeatedValue}));
}

// Each code unit's place, lines ending at CR LF, a lone CR or LF.
TEST(SourceText, PlacesEachCodeUnit) {
  const auto source = check::decodeSource("a\r\nb\rc\nd");
  ASSERT_TRUE(source);
  std::vector<check::Position> places;
  for (std::size_t i = 0; i < source->xml.text.size(); ++i)
    places.push_back(check::positionAt(*source, i));
  EXPECT_EQ(places, (std::vector<check::Position>{
                        {1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {3, 1}, {3, 2}, {4, 1}}));
}

// A place that is not in the file gets no fix.
TEST(SourceText, LeavesAFindingElsewhereUnmended) {
  const std::string config = withMarket(" de-de");
  for (const check::Position place : {check::Position{0, 0}, check::Position{3, 0},
                                      check::Position{99, 1}, check::Position{3, 999}}) {
    std::vector<check::Finding> findings = {
        check::makeFinding(check::RuleId::BlankInValue, u"config.xml", u"blank")};
    findings[0].position = place;
    findings[0].element = u"market_type";
    check::planFixes(findings, config, {});
    EXPECT_FALSE(findings[0].fix) << place.line << ":" << place.column;
  }
}

// examples/common-mistakes as saved by different editors.
struct Variant {
  const char* what;
  std::string (*bytes)(std::string utf8);  // the file from its UTF-8 text with LF
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// An "é" in a comment before the value mended on the same line, and on the
// lines before.
std::string withAccents(const std::string& text) {
  return replaced(replaced(text, "    <market_type>pt-br", "    <!--\xC3\xA9--><market_type>pt-br"),
                  "<!-- A ", "<!-- \xC3\xA9 ");
}

const Variant kVariants[] = {
    {"UTF-8 with LF", [](std::string text) { return text; }},
    {"UTF-8 with CR LF", [](std::string text) { return replaced(text, "\n", "\r\n"); }},
    {"windows-1252 with an e acute and CR LF",
     [](std::string text) {
       return check_support::asLatin1(platform::fromUtf8(withAccents(replaced(
           replaced(text, "encoding=\"UTF-8\"", "encoding=\"windows-1252\""), "\n", "\r\n"))));
     }},
    {"UTF-16 with a byte-order mark and CR LF",
     [](std::string text) {
       return check_support::asUtf16le(platform::fromUtf8(withAccents(
           replaced(replaced(text, "encoding=\"UTF-8\"", "encoding=\"UTF-16\""), "\n", "\r\n"))));
     }},
};

// The example's config.xml as --fix leaves it: each edit made by hand.
std::string mendedExample(std::string text) {
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"<market_type>\n      de-de\n    </market_type>", "<market_type>de-de</market_type>"},
           {"<package_type>O </package_type>", "<package_type>O</package_type>"},
           {"<market_typ>it-it</market_typ>", "<market_type>it-it</market_type>"},
           {"binnary", "binary"},
           {"pt-br" + kNbsp + "<", "pt-br<"}}) {
    const std::string before = text;
    text = replaced(text, from, to);
    EXPECT_NE(text, before) << from;
  }
  return text;
}

std::string base64Decoded(const std::string& text) {
  const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  std::uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    if (c == '=') break;
    bits = bits << 6 | static_cast<std::uint32_t>(digits.find(c));
    if ((count += 6) >= 8) bytes += static_cast<char>((bits >> (count -= 8)) & 0xFF);
  }
  return bytes;
}

// The replacements of every SARIF fix for config.xml made on `bytes`.
std::string withSarifFixes(std::string bytes, const nlohmann::json& sarif) {
  std::vector<std::pair<std::size_t, nlohmann::json>> replacements;
  for (const auto& result : sarif.at("runs").at(0).at("results")) {
    for (const auto& fix : result.value("fixes", nlohmann::json::array())) {
      for (const auto& change : fix.at("artifactChanges")) {
        EXPECT_EQ(change.at("artifactLocation").at("uri"), "config.xml");
        for (const auto& r : change.at("replacements")) {
          replacements.emplace_back(r.at("deletedRegion").at("byteOffset"), r);
        }
      }
    }
  }
  std::sort(replacements.begin(), replacements.end(),
            [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& [offset, r] : replacements) {
    const std::string inserted =
        r.contains("insertedContent") ? base64Decoded(r["insertedContent"]["binary"]) : "";
    bytes.replace(offset, r.at("deletedRegion").at("byteLength").get<std::size_t>(), inserted);
  }
  return bytes;
}

class Example : public testing::TestWithParam<Variant> {};

// The real check tool, on a copy of the example with a leftover beside it.
TEST_P(Example, IsMendedOnceAndAsSarifSays) {
  const Variant& v = GetParam();
  const fs::path example = fs::path(PKGCUSTOMIZE_SOURCE_DIR) / "examples" / "common-mistakes";
  const std::string text = readFile(example / "config.xml");
  const std::string original = v.bytes(text);
  const std::string mended = v.bytes(mendedExample(text));
  const TempDir package;
  writeFolder(package.path(),
              with(with(testing_support::readFolder(example), "config.xml", original),
                   "kvsetup.cif.pkgcustomize-Ab12Cd", "partial"));
  const auto check = [&](const std::vector<std::string>& args) {
    std::vector<fs::path> argv = {testing_support::builtProgram("pkgcustomize-check"), "--all"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(package.path());
    return testing_support::runCaptured(argv, package.path());
  };
  const fs::path config = package / "config.xml";

  const auto sarif = check({"--format=sarif"});
  ASSERT_EQ(sarif.status, 1) << sarif.output;
  EXPECT_EQ(withSarifFixes(original, nlohmann::json::parse(sarif.output)), mended);

  // The dry run's diff, in the file's own bytes, names the folder as given
  // and turns a clean copy into what --fix writes.
  const fs::path parent = package.path().parent_path();
  const fs::path name = package.path().filename();
  const auto dryRun = testing_support::runCaptured(
      {testing_support::builtProgram("pkgcustomize-check"), "--all", "--fix", "--dry-run", name},
      parent);
  EXPECT_EQ(dryRun.status, 1);
  const std::string header =
      "--- a/" + name.string() + "/config.xml\n+++ b/" + name.string() + "/config.xml\n";
  EXPECT_TRUE(dryRun.output.starts_with(header)) << dryRun.output;
  EXPECT_NE(dryRun.output.find("Only in " + name.string() + ": kvsetup.cif.pkgcustomize-Ab12Cd\n"),
            std::string::npos);
  EXPECT_EQ(readFile(config), original);
  EXPECT_TRUE(fs::exists(package / "kvsetup.cif.pkgcustomize-Ab12Cd"));
#ifndef _WIN32  // patch is a program of the build machine
  const TempDir clean;
  fs::create_directory(clean / name);
  writeFolder(clean / name, {{"config.xml", original}});
  writeFolder(clean.path(), {{"fix.diff", dryRun.output}});
  const auto patched =
      testing_support::runCaptured({"/usr/bin/patch", "-p1", "-i", "fix.diff"}, clean.path());
  EXPECT_EQ(patched.status, 0) << patched.output;
  EXPECT_EQ(readFile(clean / name / "config.xml"), mended);
#endif

  const auto fixed = check({"--fix", "--format=json"});
  EXPECT_EQ(fixed.status, 1);
  EXPECT_EQ(readFile(config), mended);
  EXPECT_FALSE(fs::exists(package / "kvsetup.cif.pkgcustomize-Ab12Cd"));
  const auto report = nlohmann::json::parse(fixed.output);
  EXPECT_EQ(report.at("summary").at("fixed"), 6);
  EXPECT_EQ(report.at("summary").at("left"), 2);
  std::vector<std::string> fixes;
  for (const auto& f : report.at("fixes")) {
    fixes.push_back(f.at("outcome").get<std::string>() + " " +
                    f.at("finding").at("rule").get<std::string>());
  }
  EXPECT_EQ(fixes,
            (std::vector<std::string>{"fixed wrapped-value", "fixed looks-like-o",
                                      "fixed unknown-element", "fixed unused-entry",
                                      "fixed invisible-character", "removed leftover-file"}));
  std::vector<std::string> left;
  for (const auto& f : report.at("findings")) {
    left.push_back(f.at("rule"));
    EXPECT_TRUE(f.at("fix").is_null()) << f;
  }
  EXPECT_EQ(left, (std::vector<std::string>{"duplicate-entry", "missing-text"}));

  // A second --fix finds nothing to do, and leaves the file's time alone.
  const auto lastWeek = fs::last_write_time(config) - std::chrono::hours(24 * 7);
  fs::last_write_time(config, lastWeek);
  const auto again = check({"--fix", "--format=json"});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(nlohmann::json::parse(again.output).at("findings"), report.at("findings"));
  EXPECT_EQ(readFile(config), mended);
  EXPECT_EQ(fs::last_write_time(config), lastWeek);
  EXPECT_TRUE(check({"--fix"}).output.starts_with("0 fixed, 2 left\n"));
  const auto nothing = testing_support::runCaptured(
      {testing_support::builtProgram("pkgcustomize-check"), "--all", "--fix", "--dry-run", name},
      parent);
  EXPECT_EQ(nothing.output, "nothing to mend in " + name.string() + "\n");
}

INSTANTIATE_TEST_SUITE_P(Variants, Example, testing::ValuesIn(kVariants),
                         testing_support::ByWhat());

}  // namespace
