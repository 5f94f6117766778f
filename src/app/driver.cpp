#include "app/driver.h"

#include "app/launcher.h"
#include "app/package_name.h"
#include "config/package_settings.h"
#include "customize/setup_file.h"

void runCustomization() noexcept {
  try {
    const std::u16string launcherName = findLauncherName();
    if (launcherName.empty()) return;
    const std::u16string packageCode = parsePackageCode(launcherName);
    const std::int32_t cmdVariant = parseCmdVariant(launcherName);
    if (packageCode.empty()) return;  // not a launcher's name

    PackageSettings settings;
    if (!loadPackageSettings(settings, packageCode)) return;
    const std::u16string barPc = getBarPc(settings);
    const std::u16string market = getMarket(settings);
    customizePackage(packageCode, cmdVariant, settings.useEVariant, market, barPc);
  } catch (...) {
    // A setup file lacking a text to replace, a refused conversion or memory
    // running out ends the run; what was already written stays.
  }
}
