#include "config/package_settings.h"

#include "platform/files.h"

namespace {

// The text of the entry's first child element `name`: nullopt when there is
// none or it cannot be read. Taken exactly as the DOM gives it, untrimmed.
std::optional<std::u16string> childText(const platform::XmlNode& entry,
                                        const std::u16string& name) {
  const platform::XmlNode child = platform::selectSingleNode(entry, name);
  if (!child) return std::nullopt;
  return platform::nodeText(child);
}

// Reads a mandatory value: its status when missing or empty, else Loaded.
SettingsStatus readValue(const platform::XmlNode& entry, const std::u16string& name,
                         SettingsStatus missing, SettingsStatus empty, std::u16string& value) {
  auto text = childText(entry, name);
  if (!text) return missing;
  if (text->empty()) return empty;
  value = std::move(*text);
  return SettingsStatus::Loaded;
}

}  // namespace

SettingsLoad loadPackageSettingsExplained(PackageSettings& settings, std::u16string packageCode) {
  SettingsLoad load;
  const auto fail = [&load](SettingsStatus status) {
    load.status = status;
    return load;
  };

  const auto directory = platform::currentDirectory();
  if (!directory) return fail(SettingsStatus::NoCurrentDirectory);
  load.configPath = *directory + platform::kPathSeparator + u"config.xml";
  if (!platform::fileExists(load.configPath)) return fail(SettingsStatus::NoConfigFile);

  const platform::XmlDocument document = platform::loadXmlDocument(load.configPath, load.xmlError);
  if (!document) {
    return fail(load.xmlError.domUnavailable ? SettingsStatus::DomUnavailable
                                             : SettingsStatus::NotParsed);
  }

  // The code goes into the query unescaped: a '"' would end the string early
  // and make the query malformed or match another entry.
  if (packageCode.find(u'"') != std::u16string::npos) return fail(SettingsStatus::QuoteInCode);
  const platform::XmlNode entry =
      platform::selectSingleNode(document, u"/config/binary[@code=\"" + packageCode + u"\"]");
  if (!entry) return fail(SettingsStatus::NoEntry);

  std::u16string packageType;
  SettingsStatus status = readValue(entry, u"package_type", SettingsStatus::PackageTypeMissing,
                                    SettingsStatus::PackageTypeEmpty, packageType);
  if (status != SettingsStatus::Loaded) return fail(status);
  const bool original = packageType == u"O";
  settings.useEVariant = original ? 0 : 1;

  if (original) {
    status = readValue(entry, u"quil_bar_pc", SettingsStatus::BarPcMissing,
                       SettingsStatus::BarPcEmpty, settings.barPc);
    if (status != SettingsStatus::Loaded) return fail(status);
  }
  status = readValue(entry, u"market_type", SettingsStatus::MarketMissing,
                     SettingsStatus::MarketEmpty, settings.market);
  if (status != SettingsStatus::Loaded) return fail(status);
  return load;
}

bool loadPackageSettings(PackageSettings& settings, std::u16string packageCode) {
  return loadPackageSettingsExplained(settings, std::move(packageCode)).status ==
         SettingsStatus::Loaded;
}

std::u16string getBarPc(const PackageSettings& settings) {
  return settings.barPc;
}
std::u16string getMarket(const PackageSettings& settings) {
  return settings.market;
}
