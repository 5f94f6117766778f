// The per-package settings and their lookup in the package folder's config.xml.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/xml_dom.h"

struct PackageSettings {
  std::int32_t useEVariant = 0;  // 1: put the "_e" setup-file variants in place
  std::u16string barPc = u"B8DF";
  std::u16string market = u"en-us";
};

// Where and why a load stopped.
enum class SettingsStatus {
  Loaded,
  NoCurrentDirectory,  // the current directory could not be read
  NoConfigFile,        // no config.xml in the current directory
  DomUnavailable,      // the XML DOM could not be created
  NotParsed,           // config.xml could not be read or is not well-formed
  QuoteInCode,         // the package code holds '"', which no entry query can match
  NoEntry,             // no /config/binary entry with the package code
  PackageTypeMissing,
  PackageTypeEmpty,
  BarPcMissing,  // package_type is "O" but quil_bar_pc is missing or unreadable
  BarPcEmpty,
  MarketMissing,
  MarketEmpty,
};

struct SettingsLoad {
  SettingsStatus status = SettingsStatus::Loaded;
  std::u16string configPath;        // the file read, once known
  platform::XmlLoadError xmlError;  // details when the status is NotParsed
};

// Fills `settings` from the entry of config.xml, in the current directory,
// whose code is `packageCode`, field by field as each value is found, and
// says where it stopped. COM must be initialised on this thread.
SettingsLoad loadPackageSettingsExplained(PackageSettings& settings, std::u16string packageCode);

// Opens config.xml in the current directory; null when it cannot, with
// `load` saying why. COM must be initialised on this thread.
platform::XmlDocument loadConfigDocument(SettingsLoad& load);

// Reads the text of an entry's child element `name`, as entryValue() does.
using EntryReader = std::function<std::optional<std::u16string>(const std::u16string& name)>;

// Fills `settings` from the values of an entry that `read` gives, as the load
// does once it has found the entry, and says where it stopped.
SettingsStatus readEntrySettings(const EntryReader& read, PackageSettings& settings);

// The text of the entry's first child element `name`, exactly as the DOM
// gives it; nullopt when there is none or it cannot be read.
std::optional<std::u16string> entryValue(const platform::XmlNode& entry,
                                         const std::u16string& name);

// The same load; true when every mandatory value was found and stored.
bool loadPackageSettings(PackageSettings& settings, std::u16string packageCode);

// Copies of the record's strings.
std::u16string getBarPc(const PackageSettings& settings);
std::u16string getMarket(const PackageSettings& settings);
