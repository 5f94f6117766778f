// The settings load step by step: where and why it stops, and its steps on
// their own, for callers that read one document for many packages.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>

#include "config/package_settings.h"
#include "platform/xml_dom.h"

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

// Where a run gets a package's settings from: fills the record for the
// package code and says where it stopped.
using SettingsLookup = std::function<SettingsLoad(PackageSettings&, const std::u16string&)>;

// The load of loadPackageSettings(), saying where it stopped.
SettingsLoad loadPackageSettingsExplained(PackageSettings& settings, std::u16string packageCode);

// Opens config.xml in the current directory; null when it cannot, with
// `load` saying why. COM must be initialised on this thread.
platform::XmlDocument loadConfigDocument(SettingsLoad& load);

// The first step of that: sets `load.configPath` to config.xml of the current
// directory and says whether the file is there; when not, `load` says why.
bool locateConfigFile(SettingsLoad& load);

// The DOM load of config.xml's `bytes`, read once by the caller or given
// (an editor's buffer): the same document as loadConfigDocument() makes of a
// file with those bytes. Null when they do not load, with `load` saying why.
platform::XmlDocument loadConfigBytes(std::string bytes, SettingsLoad& load);

// The rest of the load, on a document already open: finds the entry of
// `packageCode` and fills `settings` from it. Sets `load.status`.
void loadPackageSettingsFrom(const platform::XmlDocument& document, PackageSettings& settings,
                             const std::u16string& packageCode, SettingsLoad& load);

// The entries of a document by code, for loads of many packages from it: for
// each code the entry that the load's query finds, the first in document order.
using EntryIndex = std::unordered_map<std::u16string, platform::XmlNode>;
EntryIndex indexEntries(const platform::XmlDocument& document);

// The same as loadPackageSettingsFrom(), with the entry taken from `index`.
void loadPackageSettingsFrom(const EntryIndex& index, PackageSettings& settings,
                             const std::u16string& packageCode, SettingsLoad& load);

// Reads the text of an entry's first child element `name`, exactly as the DOM
// gives it; nullopt when there is none or it cannot be read.
using EntryReader = std::function<std::optional<std::u16string>(const std::u16string& name)>;

// Fills `settings` from the values of an entry that `read` gives, as the load
// does once it has found the entry, and says where it stopped.
SettingsStatus readEntrySettings(const EntryReader& read, PackageSettings& settings);
