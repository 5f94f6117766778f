#include "check/package/config_view.h"

#include "check/package/verdict.h"
#include "platform/files.h"

namespace check {

namespace {

ConfigView viewOf(SettingsLoad load, std::optional<std::string> bytes) {
  ConfigView config{std::move(load), std::move(bytes), nullptr, {}, {}};
  if (!config.bytes) return config;
  config.document = loadConfigBytes(*config.bytes, config.load);
  if (config.document) {
    config.index = indexEntries(config.document);
    config.outline = outlineConfig(config.document);
  } else {
    // Only the check shows where a parse stopped; a run never looks for it.
    platform::locateParseError(*config.bytes, config.load.xmlError);
  }
  return config;
}

}  // namespace

ConfigView readConfigView() {
  SettingsLoad load;
  if (!locateConfigFile(load)) return viewOf(std::move(load), std::nullopt);
  std::optional<std::string> bytes = platform::readFileBytes(load.configPath);
  if (!bytes) {
    load.status = SettingsStatus::NotParsed;
    load.xmlError.reason = u"the file cannot be read";
  }
  return viewOf(std::move(load), std::move(bytes));
}

ConfigView configViewOf(std::string bytes) {
  SettingsLoad load;
  if (const auto directory = platform::currentDirectory()) {
    load.configPath = *directory + platform::kPathSeparator + kConfigFile;
  }
  return viewOf(std::move(load), std::move(bytes));
}

std::vector<Finding> fileFindings(const ConfigView& config) {
  if (config.document) return config.outline.findings;
  std::vector<Finding> findings{configLoadFinding(config.load)};
  if (config.load.status == SettingsStatus::NotParsed && config.bytes) {
    for (Finding& hint : encodingHint(*config.bytes)) findings.push_back(std::move(hint));
  }
  return findings;
}

std::string_view bytesOf(const ConfigView& config) {
  return config.bytes ? std::string_view(*config.bytes) : std::string_view();
}

SettingsLookup settingsOf(const ConfigView& config) {
  return [&config](PackageSettings& record, const std::u16string& code) {
    SettingsLoad load = config.load;
    if (config.document) loadPackageSettingsFrom(config.index, record, code, load);
    return load;
  };
}

}  // namespace check
