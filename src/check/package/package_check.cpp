#include "check/package/package_check.h"

namespace check {

PackageCheck checkPackage(const std::optional<std::u16string>& launcher) {
  PackageCheck check;
  check.launcherGiven = launcher;
  const StartedBy start =
      launcher ? startedBy(*launcher)
               : StartedBy{platform::currentProcessId(), platform::snapshotProcesses()};
  DiskFiles disk;
  check.run = checkRun(start, check.config, disk);
  check.findings = check.run.findings;
  const std::u16string& code = check.run.trace.packageCode;
  for (const Finding& f : check.config.findings) {
    if ((!code.empty() && f.code == code) || aboutWholeFile(f)) check.findings.push_back(f);
  }
  for (Finding& f : leftoverFindings()) check.findings.push_back(std::move(f));
  return check;
}

}  // namespace check
