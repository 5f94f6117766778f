#include "app/driver.h"

#include <exception>

#include "app/package_name.h"

namespace {

// The run's steps in order; each returns early where the run ends.
void run(const RunEnvironment& environment, RunTrace& trace) {
  trace.launcher = findLauncher(environment.selfId, environment.processes);
  if (trace.launcher.name.empty()) return;
  trace.end = RunEnd::NoPackageCode;
  trace.packageCode = parsePackageCode(trace.launcher.name);
  trace.cmdVariant = parseCmdVariant(trace.launcher.name);
  if (trace.packageCode.empty()) return;  // not a launcher's name

  trace.end = RunEnd::NoSettings;
  trace.load = environment.settings(trace.settings, trace.packageCode);
  if (trace.load.status != SettingsStatus::Loaded) return;
  const std::u16string barPc = getBarPc(trace.settings);
  const std::u16string market = getMarket(trace.settings);
  trace.customization = customizePackage(environment.files, trace.packageCode, trace.cmdVariant,
                                         trace.settings.useEVariant, market, barPc);
  trace.end = trace.customization.copied ? RunEnd::Finished : RunEnd::NotCopied;
}

}  // namespace

RunTrace traceCustomization(const RunEnvironment& environment) {
  RunTrace trace;
  try {
    run(environment, trace);
  } catch (const std::exception& error) {
    // A refused conversion or memory running out ends the run; what was
    // already written stays.
    trace.end = RunEnd::Failed;
    trace.error = error.what();
  } catch (...) {
    trace.end = RunEnd::Failed;
  }
  return trace;
}

RunEnvironment realEnvironment() {
  return {platform::currentProcessId(), platform::snapshotProcesses(), loadPackageSettingsExplained,
          realPackageFiles()};
}

void runCustomization() noexcept {
  try {
    traceCustomization(realEnvironment());
  } catch (...) {
    // Nothing escapes, not even memory running out while the trace is made.
  }
}
