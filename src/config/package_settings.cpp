#include "config/package_settings.h"

#include "config/settings_load.h"

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
