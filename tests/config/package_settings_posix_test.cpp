// What the settings load gives here and not under Wine, whose XML DOM differs
// from the Windows one in these points: parse errors with their position, the
// parser's depth limit, attribute defaults of the internal DTD subset, entity
// references in attribute values and the encodings it reads. And a current
// directory that has been removed, which Windows does not allow.
#include <gtest/gtest.h>

#include <cctype>

#include "config/settings_load.h"
#include "row_names.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
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

// An E entry for TR01 whose market_type is `market`, after `prolog`.
std::string eEntry(const std::string& prolog, const std::string& code, const std::string& market) {
  return prolog + "<config><binary code=\"" + code +
         "\"><package_type>E</package_type><market_type>" + market +
         "</market_type></binary></config>";
}

// Bytes of ASCII `text` as UTF-16 without a byte-order mark.
std::string bareUtf16(const std::string& text, bool bigEndian = false) {
  std::string bytes;
  for (const char c : text) bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return bytes;
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
    // Files libxml2 alone would read, refused as the Windows DOM refuses them.
    {"UTF-16 without byte-order mark or encoding",
     bareUtf16(eEntry("<?xml version=\"1.0\"?>", "TR01", "de-de")), 1, u"UTF-16"},
    {"big-endian UTF-16 without byte-order mark or encoding",
     bareUtf16(eEntry("<?xml version=\"1.0\"?>", "TR01", "de-de"), true), 1, u"UTF-16"},
    {"an encoding name the Windows DOM does not know",
     eEntry("<?xml version=\"1.0\"\n    encoding=\"Windows-936\"?>", "TR01", "de-de"), 2,
     u"Windows-936"},
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

INSTANTIATE_TEST_SUITE_P(Configs, ParseError, testing::ValuesIn(kParseErrors),
                         testing_support::ByWhat());

struct WindowsReadingCase {
  const char* what;
  std::string config;
  std::u16string market;
};

// Files that libxml2 alone reads otherwise than the Windows DOM.
const WindowsReadingCase kWindowsReadings[] = {
    {"entity reference in the code",
     eEntry("<!DOCTYPE config [<!ENTITY c \"TR01\">]>", "&c;", "de-de"), u"de-de"},
    {"gb2312 in any case, as code page 936",
     eEntry("<?xml version=\"1.0\" encoding=\"GB2312\"?>", "TR01", "\x80\xd6\xd0"),
     u"\u20ac\u4e2d"},
    {"attribute default of the internal subset",
     "<!DOCTYPE config [<!ATTLIST binary code CDATA \"TR01\">]><config><binary><package_type>E"
     "</package_type><market_type>de-de</market_type></binary></config>",
     u"de-de"},
};

class WindowsReading : public testing::TestWithParam<WindowsReadingCase> {};

TEST_P(WindowsReading, GivesWhatWindowsGives) {
  TempDir dir;
  PackageSettings settings;
  EXPECT_EQ(loadIn(dir, GetParam().config, settings).status, SettingsStatus::Loaded);
  EXPECT_EQ(settings.market, GetParam().market);
}

INSTANTIATE_TEST_SUITE_P(Configs, WindowsReading, testing::ValuesIn(kWindowsReadings),
                         testing_support::ByWhat());

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
