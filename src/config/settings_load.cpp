#include "config/settings_load.h"

#include "platform/files.h"

namespace {

// Reads a mandatory value: its status when missing or empty, else Loaded.
SettingsStatus readValue(const EntryReader& read, const std::u16string& name,
                         SettingsStatus missing, SettingsStatus empty, std::u16string& value) {
  auto text = read(name);
  if (!text) return missing;
  if (text->empty()) return empty;
  value = std::move(*text);
  return SettingsStatus::Loaded;
}

// The entry's value `name`, as an EntryReader gives it.
std::optional<std::u16string> entryValue(const platform::XmlNode& entry,
                                         const std::u16string& name) {
  const platform::XmlNode child = platform::selectSingleNode(entry, name);
  if (!child) return std::nullopt;
  return platform::nodeText(child);
}

}  // namespace

bool locateConfigFile(SettingsLoad& load) {
  const auto directory = platform::currentDirectory();
  if (!directory) {
    load.status = SettingsStatus::NoCurrentDirectory;
    return false;
  }
  load.configPath = *directory + platform::kPathSeparator + u"config.xml";
  if (!platform::fileExists(load.configPath)) {
    load.status = SettingsStatus::NoConfigFile;
    return false;
  }
  return true;
}

platform::XmlDocument loadConfigDocument(SettingsLoad& load) {
  if (!locateConfigFile(load)) return nullptr;
  platform::XmlDocument document = platform::loadXmlDocument(load.configPath, load.xmlError);
  if (!document) {
    load.status =
        load.xmlError.domUnavailable ? SettingsStatus::DomUnavailable : SettingsStatus::NotParsed;
  }
  return document;
}

platform::XmlDocument loadConfigBytes(std::string bytes, SettingsLoad& load) {
  platform::XmlDocument document = platform::loadXmlBytes(std::move(bytes), load.xmlError);
  if (!document) {
    load.status =
        load.xmlError.domUnavailable ? SettingsStatus::DomUnavailable : SettingsStatus::NotParsed;
  }
  return document;
}

SettingsStatus readEntrySettings(const EntryReader& read, PackageSettings& settings) {
  std::u16string packageType;
  SettingsStatus status = readValue(read, u"package_type", SettingsStatus::PackageTypeMissing,
                                    SettingsStatus::PackageTypeEmpty, packageType);
  if (status != SettingsStatus::Loaded) return status;
  const bool original = packageType == u"O";
  settings.useEVariant = original ? Variant::O : Variant::E;

  if (original) {
    status = readValue(read, u"quil_bar_pc", SettingsStatus::BarPcMissing,
                       SettingsStatus::BarPcEmpty, settings.barPc);
    if (status != SettingsStatus::Loaded) return status;
  }
  return readValue(read, u"market_type", SettingsStatus::MarketMissing, SettingsStatus::MarketEmpty,
                   settings.market);
}

namespace {

// The entry's query: the first <binary> directly under <config> whose code is
// `packageCode`, exactly.
std::u16string entryQuery(const std::u16string& packageCode) {
  return u"/config/binary[@code=\"" + packageCode + u"\"]";
}

// The rest of the load once the entry is looked up; null when there is none.
void loadFromEntry(const platform::XmlNode* entry, PackageSettings& settings, SettingsLoad& load) {
  if (entry == nullptr || !*entry) {
    load.status = SettingsStatus::NoEntry;
    return;
  }
  load.status = readEntrySettings(
      [entry](const std::u16string& name) { return entryValue(*entry, name); }, settings);
}

}  // namespace

void loadPackageSettingsFrom(const platform::XmlDocument& document, PackageSettings& settings,
                             const std::u16string& packageCode, SettingsLoad& load) {
  // The code goes into the query unescaped: a '"' would end the string early
  // and make the query malformed or match another entry.
  if (packageCode.find(u'"') != std::u16string::npos) {
    load.status = SettingsStatus::QuoteInCode;
    return;
  }
  const platform::XmlNode entry = platform::selectSingleNode(document, entryQuery(packageCode));
  loadFromEntry(&entry, settings, load);
}

EntryIndex indexEntries(const platform::XmlDocument& document) {
  EntryIndex index;
  std::vector<platform::XmlNode> entries = platform::selectNodes(document, u"/config/binary");
  index.reserve(entries.size());
  for (platform::XmlNode& entry : entries) {
    if (auto code = platform::nodeAttribute(entry, u"code")) {
      index.emplace(std::move(*code), std::move(entry));  // the first of a code stays
    }
  }
  return index;
}

void loadPackageSettingsFrom(const EntryIndex& index, PackageSettings& settings,
                             const std::u16string& packageCode, SettingsLoad& load) {
  if (packageCode.find(u'"') != std::u16string::npos) {
    load.status = SettingsStatus::QuoteInCode;
    return;
  }
  const auto found = index.find(packageCode);
  loadFromEntry(found == index.end() ? nullptr : &found->second, settings, load);
}

SettingsLoad loadPackageSettingsExplained(PackageSettings& settings, std::u16string packageCode) {
  SettingsLoad load;
  const platform::XmlDocument document = loadConfigDocument(load);
  if (document) loadPackageSettingsFrom(document, settings, packageCode, load);
  return load;
}
