// Prints what the check tool prints about a package, through the console
// service: the current folder and the market of TR01's entry in config.xml
// to the standard output, the market again to the standard error.
#include "config/package_settings.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/startup.h"

int main() {
  platform::initializeCom();
  PackageSettings settings;
  loadPackageSettings(settings, u"TR01");
  const std::u16string folder = platform::currentDirectory().value_or(u"?");
  platform::writeStandardOutput(
      platform::toUtf8(u"folder " + folder + u"\nmarket " + settings.market + u"\n"));
  platform::writeStandardError(platform::toUtf8(u"market " + settings.market + u"\n"));
  return 0;
}
