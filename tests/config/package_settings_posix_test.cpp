// What the settings load gives here and not under Wine, whose XML DOM differs
// from the Windows one in these points: parse errors with their position, the
// parser's depth limit, and attribute defaults of the internal DTD subset.
// And a current directory that has been removed, which Windows does not allow.
#include <gtest/gtest.h>

#include "config/settings_load.h"
#include "test_support.h"

namespace {

using testing_support::ScopedCurrentDir;
using testing_support::TempDir;
using testing_support::writeFile;

SettingsLoad loadIn(const TempDir& dir, const std::string& config, PackageSettings& settings) {
  writeFile(dir / "config.xml", config);
  const ScopedCurrentDir inPackage(dir.path());
  return loadPackageSettingsExplained(settings, u"TR01");
}

// config.xml with `depth` empty elements nested on its third line.
std::string nestedOnLine3(int depth) {
  std::string deep;
  for (int i = 0; i < depth; ++i) deep = "<n>" + deep + "</n>";
  return "<config>\n\n" + deep + "</config>\n";
}

struct ParseErrorCase {
  const char* what;
  std::string config;
  long line;
  std::u16string named;  // a text the reason must hold
};

const ParseErrorCase kParseErrors[] = {
    {"unclosed element", "<config>\n  <binary code=\"TR01\">\n</config>\n", 3, u""},
    {"not UTF-8", "<config>\n<binary code=\"TR\xff\"/></config>\n", 2, u""},
    // A safety limit that the Windows DOM lacks; the reason names it.
    {"nested deeper than 256", nestedOnLine3(300), 3, u"depth"},
};

class ParseError : public testing::TestWithParam<ParseErrorCase> {};

TEST_P(ParseError, SaysWhereAndWhy) {
  TempDir dir;
  PackageSettings settings;
  const SettingsLoad load = loadIn(dir, GetParam().config, settings);
  EXPECT_EQ(load.status, SettingsStatus::NotParsed);
  EXPECT_EQ(load.xmlError.line, GetParam().line);
  EXPECT_GT(load.xmlError.column, 0);
  const std::u16string& reason = load.xmlError.reason;
  ASSERT_FALSE(reason.empty());
  EXPECT_NE(reason.back(), u'\n');
  EXPECT_NE(reason.find(GetParam().named), std::u16string::npos);
}

INSTANTIATE_TEST_SUITE_P(Configs, ParseError, testing::ValuesIn(kParseErrors));

TEST(PackageSettingsDtd, AttributeDefaultOfTheInternalSubsetCounts) {
  TempDir dir;
  PackageSettings settings;
  const SettingsLoad load = loadIn(dir,
                                   "<!DOCTYPE config [<!ATTLIST binary code CDATA \"TR01\">]>"
                                   "<config><binary><package_type>E</package_type>"
                                   "<market_type>de-de</market_type></binary></config>",
                                   settings);
  EXPECT_EQ(load.status, SettingsStatus::Loaded);
  EXPECT_EQ(settings.market, u"de-de");
}

// The package folder removed under the running tool: there is no config.xml to name.
TEST(PackageSettingsPlaces, RemovedCurrentDirectoryIsNoPlace) {
  TempDir dir;
  std::filesystem::create_directory(dir / "package");
  const ScopedCurrentDir inPackage(dir / "package");
  std::filesystem::remove(dir / "package");
  PackageSettings settings;
  EXPECT_EQ(loadPackageSettingsExplained(settings, u"TR01").status,
            SettingsStatus::NoCurrentDirectory);
}

}  // namespace
