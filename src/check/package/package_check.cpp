#include "check/package/package_check.h"

#include "check/lint/config_fix.h"
#include "check/lint/suppression.h"

namespace check {

PackageCheck checkPackage(const ConfigView& config, const std::optional<std::u16string>& launcher) {
  PackageCheck check;
  check.launcherGiven = launcher;
  const StartedBy start =
      launcher ? startedBy(*launcher)
               : StartedBy{platform::currentProcessId(), platform::snapshotProcesses()};
  DiskFiles disk;
  check.run = checkRun(start, config, disk);
  check.findings = check.run.findings;
  // Started where no launcher is (a maintainer in a package folder): what
  // needs no launcher, the file and all its entries, is checked, and the
  // finding says how to check a package.
  bool noLauncher = false;
  for (Finding& f : check.findings) {
    if (launcher || f.rule != RuleId::NoLauncher) continue;
    noLauncher = true;
    f.message += u"; check a package with --launcher NAME, or every package with --all";
  }
  const std::u16string& code = check.run.trace.packageCode;
  if (const ConfigEntry* entry = entryFor(config.outline, code)) check.entry = entry->position;
  for (Finding& f : fileFindings(config)) {
    if (noLauncher || (!code.empty() && f.code == code) || aboutWholeFile(f)) {
      check.findings.push_back(f);
    }
  }
  for (Finding& f : leftoverFindings()) check.findings.push_back(std::move(f));
  check.suppressed = applySuppressions(check.findings, findSuppressions(bytesOf(config)), false);
  planFixes(check.findings, bytesOf(config), config.outline);
  return check;
}

}  // namespace check
