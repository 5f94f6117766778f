#include "config/package_settings.h"

#include "config/settings_load.h"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>

#include "row_names.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;
using testing_support::writeFile;

std::string entries(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<config>\n" + body + "</config>\n";
}

std::string entry(const std::string& code, const std::string& children) {
  return "  <binary code=\"" + code + "\">" + children + "</binary>\n";
}

// UTF-16LE with a byte-order mark, from this machine's own order.
static_assert(std::endian::native == std::endian::little);
std::string utf16(const std::u16string& text) {
  return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

std::string withType(const std::string& type, const std::string& rest) {
  return entries(entry("TR01", "<package_type>" + type + "</package_type>" + rest));
}

const std::string kMarket = "<market_type>de-de</market_type>";
const std::string kBar = "<quil_bar_pc>1A2B</quil_bar_pc>";
const std::string kBarAndMarket = kBar + kMarket;
const std::string kExample =
    entries(entry("TR01", "<package_type>O</package_type>" + kBarAndMarket) +
            entry("TR02",
                  "<package_type>E</package_type><quil_bar_pc>9999</quil_bar_pc>"
                  "<market_type>fr-fr</market_type>"));

// An O entry for TR01 in `ns` (an xmlns attribute or empty), its <binary>
// named with `prefix`.
std::string namespaced(const std::string& ns, const std::string& prefix) {
  return "<config " + ns + "><" + prefix + "binary code=\"TR01\"><package_type>O</package_type>" +
         kBarAndMarket + "</" + prefix + "binary></config>";
}

// An E entry for TR01, market_type "de-de", gzip-compressed.
const std::string kGzipped =
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xb3\x49\xce\xcf\x4b\xcb\x4c\xb7\xb3\x49\xca"
    "\xcc\x4b\x2c\xaa\x54\x48\xce\x4f\x49\xb5\x55\x0a\x09\x32\x30\x54\xb2\xb3\x29\x48\x4c"
    "\xce\x4e\x4c\x4f\x8d\x2f\xa9\x2c\x48\xb5\x73\xb5\xd1\x47\xe1\xdb\xe4\x26\x16\x65\xa7"
    "\x96\x40\x38\x29\xa9\xba\x29\xa9\x36\xfa\xc8\x42\x36\xfa\x10\x23\x81\x0c\xa8\x1d\x00"
    "\x28\x32\x21\x29\x6c\x00\x00\x00"s;

// A document with a DOCTYPE declaration and the given entries.
std::string withDoctype(const std::string& doctype, const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<!DOCTYPE config " + doctype + ">\n<config>" + body +
         "</config>\n";
}

// An E entry for TR01 whose market_type is `market`, after a DOCTYPE declaration.
std::string eEntryAfter(const std::string& doctype, const std::string& market) {
  return withDoctype(doctype, entry("TR01", "<package_type>E</package_type><market_type>" + market +
                                                "</market_type>"));
}

// A nested entity expansion: ten levels of ten references each.
std::string entityBomb() {
  std::string entities = "[<!ENTITY e0 \"ha\">";
  for (int level = 1; level <= 10; ++level) {
    entities += "<!ENTITY e" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) entities += "&e" + std::to_string(level - 1) + ";";
    entities += "\">";
  }
  return eEntryAfter(entities + "]", "&e10;");
}

// `depth` elements nested around an E entry for TR01 inside `config`.
std::string nested(int depth) {
  std::string market = "de-de";
  for (int i = 0; i < depth; ++i) market = "<n>" + market + "</n>";
  return entries(
      entry("TR01", "<package_type>E</package_type><market_type>" + market + "</market_type>"));
}

struct ConfigCase {
  const char* what;
  std::string config;  // bytes of config.xml; empty: no file; kFolder: a folder
  SettingsStatus status;
  PackageSettings expected;  // the record afterwards, whatever the result
  std::u16string packageCode = u"TR01";
};

const std::string kFolder = "/";
using S = SettingsStatus;
const PackageSettings kDefaults{};

using enum Variant;

const ConfigCase kConfigCases[] = {
    {"example, O entry", kExample, S::Loaded, {O, u"1A2B", u"de-de"}},
    {"example, E entry ignores quil_bar_pc", kExample, S::Loaded, {E, u"B8DF", u"fr-fr"}, u"TR02"},
    {"lower-case o", withType("o", kBarAndMarket), S::Loaded, {E, u"B8DF", u"de-de"}},
    {"E without quil_bar_pc", withType("E", kMarket), S::Loaded, {E, u"B8DF", u"de-de"}},
    {"blank before O", withType(" O", kBarAndMarket), S::Loaded, {E, u"B8DF", u"de-de"}},
    {"blank after O", withType("O ", kBarAndMarket), S::Loaded, {E, u"B8DF", u"de-de"}},
    {"empty package_type", withType("", kBarAndMarket), S::PackageTypeEmpty, kDefaults},
    {"missing package_type", entries(entry("TR01", kBarAndMarket)), S::PackageTypeMissing,
     kDefaults},
    {"package_type nested deeper",
     entries(entry("TR01", "<x><package_type>O</package_type></x>" + kBarAndMarket)),
     S::PackageTypeMissing, kDefaults},
    {"O without quil_bar_pc", withType("O", kMarket), S::BarPcMissing, {O, u"B8DF", u"en-us"}},
    {"O, empty quil_bar_pc",
     withType("O", "<quil_bar_pc/>" + kMarket),
     S::BarPcEmpty,
     {O, u"B8DF", u"en-us"}},
    {"O without market_type", withType("O", kBar), S::MarketMissing, {O, u"1A2B", u"en-us"}},
    {"E, empty market_type",
     withType("E", "<market_type/>"),
     S::MarketEmpty,
     {E, u"B8DF", u"en-us"}},
    {"whitespace-only text is kept",
     withType("O", "<quil_bar_pc> \n\t</quil_bar_pc><market_type> de-de </market_type>"),
     S::Loaded,
     {O, u" \n\t", u" de-de "}},
    {"text of nested elements and comments",
     withType("<a>O</a><!--x-->",
              "<quil_bar_pc>1A<b>2<c>B</c></b></quil_bar_pc>"
              "<market_type>de<!-- comment -->-de</market_type>"),
     S::Loaded,
     {O, u"1A2B", u"de-de"}},
    {"CDATA",
     withType("O",
              "<quil_bar_pc><![CDATA[<1A&2B>]]></quil_bar_pc>"
              "<market_type>de<![CDATA[-]]>de</market_type>"),
     S::Loaded,
     {O, u"<1A&2B>", u"de-de"}},
    {"first child of a name wins",
     withType("O",
              "<quil_bar_pc>1A2B</quil_bar_pc><quil_bar_pc>FFFF</quil_bar_pc>"
              "<market_type>de-de</market_type><market_type>it-it</market_type>"),
     S::Loaded,
     {O, u"1A2B", u"de-de"}},
    {"code differs in case", kExample, S::NoEntry, kDefaults, u"tr01"},
    {"code is matched whole", kExample, S::NoEntry, kDefaults, u"TR0"},
    {"first of duplicate entries wins, even when incomplete",
     entries(entry("TR01", "<package_type>E</package_type>") +
             entry("TR01", "<package_type>O</package_type>" + kBarAndMarket)),
     S::MarketMissing,
     {E, u"B8DF", u"en-us"}},
    {"binary nested deeper",
     entries("<group>" + entry("TR01", "<package_type>O</package_type>" + kBarAndMarket) +
             "</group>"),
     S::NoEntry, kDefaults},
    {"another document element",
     "<settings>" + entry("TR01", "<package_type>O</package_type>" + kBarAndMarket) + "</settings>",
     S::NoEntry, kDefaults},
    {"malformed XML", "<config><binary code=\"TR01\"><package_type>O</package_type>", S::NotParsed,
     kDefaults},
    {"UTF-16 file",
     utf16(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><config><binary code=\"TR01\">"
           u"<package_type>E</package_type><market_type>fr-\u00e9\u00df</market_type>"
           u"</binary></config>"),
     S::Loaded,
     {E, u"B8DF", u"fr-\u00e9\u00df"}},
    {"ISO-8859-1 file",
     "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><config>" +
         entry("TR01", "<package_type>E</package_type><market_type>d\xe9-\xfc</market_type>") +
         "</config>",
     S::Loaded,
     {E, u"B8DF", u"d\u00e9-\u00fc"}},
    {"windows-1252, its unassigned bytes included",
     "<?xml version=\"1.0\" encoding=\"windows-1252\"?><config>" +
         entry("TR01",
               "<package_type>E</package_type>"
               "<market_type>\x80\x81\x8d\x8f\x90\x9d\x9f\xe9</market_type>") +
         "</config>",
     S::Loaded,
     {E, u"B8DF", u"\u20ac\u0081\u008d\u008f\u0090\u009d\u0178\u00e9"}},
    {"UTF-8 beyond two bytes and character references",
     withType("O",
              "<quil_bar_pc>\u20ac\u4e2d\U0001F600</quil_bar_pc>"
              "<market_type>&#x20AC;&#x4E2D;&#x1F600;</market_type>"),
     S::Loaded,
     {O, u"\u20ac\u4e2d\U0001F600", u"\u20ac\u4e2d\U0001F600"}},
    {"gzip-compressed file", kGzipped, S::NotParsed, kDefaults},
    {"default namespace",
     namespaced("xmlns=\"urn:example:pkg\"", ""),
     S::Loaded,
     {O, u"1A2B", u"de-de"}},
    {"prefixed names are other names", namespaced("xmlns:p=\"urn:example:pkg\"", "p:"), S::NoEntry,
     kDefaults},
    {"internal entity",
     eEntryAfter("[<!ENTITY market \"de-de\">]", "&market;"),
     S::Loaded,
     {E, u"B8DF", u"de-de"}},
    {"external DTD is not read",
     withDoctype("SYSTEM \"secret.dtd\"", "<binary>" + kMarket + "</binary>"), S::NoEntry,
     kDefaults},
    {"nested 200 deep", nested(200), S::Loaded, {E, u"B8DF", u"de-de"}},
    {"no config.xml", "", S::NoConfigFile, kDefaults},
    {"a folder named config.xml", kFolder, S::NotParsed, kDefaults},
    {"external entity is not read",
     eEntryAfter("[<!ENTITY secret SYSTEM \"secret.txt\">]", "&secret;"),
     S::MarketEmpty,
     {E, u"B8DF", u"en-us"}},
    {"entity expansion bomb", entityBomb(), S::NotParsed, kDefaults},
    {"quote in the code", kExample, S::QuoteInCode, kDefaults, u"TR01\" or \"1\"=\"1"},
};

class PackageSettingsLoad : public testing::TestWithParam<ConfigCase> {};

TEST_P(PackageSettingsLoad, FillsTheRecordAsFarAsTheEntryGoes) {
  const ConfigCase& c = GetParam();
  TempDir dir;
  writeFile(dir / "secret.txt", "SECRET");
  writeFile(dir / "secret.dtd", "<!ATTLIST binary code CDATA \"TR01\">");  // not to be read
  if (c.config == kFolder) fs::create_directory(dir / "config.xml");
  if (!c.config.empty() && c.config != kFolder) writeFile(dir / "config.xml", c.config);
  const ScopedCurrentDir inPackage(dir.path());

  const auto started = std::chrono::steady_clock::now();
  PackageSettings settings;
  const SettingsLoad load = loadPackageSettingsExplained(settings, c.packageCode);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));

  EXPECT_EQ(load.status, c.status);
  EXPECT_EQ(settings.useEVariant, c.expected.useEVariant);
  EXPECT_EQ(settings.barPc, c.expected.barPc);
  EXPECT_EQ(settings.market, c.expected.market);
}

INSTANTIATE_TEST_SUITE_P(ConfigFiles, PackageSettingsLoad, testing::ValuesIn(kConfigCases),
                         testing_support::ByWhat());

TEST(PackageSettingsPlaces, AnyFolderNameIsAFolderName) {
  // Not a URL: "%41" stays as written and "#" starts no fragment.
  for (const std::u16string name : {u"Paket %41", u"a#b", u"\u20ac \u4e2d\u6587 \U0001F600"}) {
    TempDir dir;
    fs::create_directory(dir / name);
    writeFile(dir / name / "config.xml", kExample);
    const ScopedCurrentDir inPackage(dir / name);
    PackageSettings settings;
    EXPECT_EQ(loadPackageSettingsExplained(settings, u"TR01").status, SettingsStatus::Loaded)
        << testing::PrintToString(name);
  }
}

}  // namespace
