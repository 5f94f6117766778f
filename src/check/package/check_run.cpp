#include "check/package/check_run.h"

#include <map>

#include "check/package/verdict.h"
#include "platform/files.h"

namespace check {

namespace {

constexpr std::uint32_t kToolId = 3;
constexpr std::uint32_t kLauncherId = 2;
constexpr std::uint32_t kShellId = 1;
constexpr std::uint32_t kShellParentId = 4;  // ended long ago, as the shell's parent has

std::u16string fileNameOf(const std::u16string& path) {
  const auto slash = path.find_last_of(u"/\\");
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

std::vector<FileChange> changesOf(DryRunFolder& folder) {
  std::vector<FileChange> changes;
  for (const auto& [name, file] : folder.written) {
    const FolderFile& now = diskFile(*folder.disk, name);
    if (file.bytes && file.bytes != now.bytes) {
      changes.push_back({name, now.exists ? now.bytes : std::nullopt, *file.bytes});
    }
  }
  return changes;
}

}  // namespace

StartedBy startedBy(const std::u16string& launcher) {
  const std::map<std::uint32_t, platform::ProcessEntry> processes = {
      {kToolId, {kLauncherId, u"pkgcustomize.exe"}},
      {kLauncherId, {kShellId, fileNameOf(launcher)}},
      {kShellId, {kShellParentId, u"explorer.exe"}},
  };
  return {kToolId, [processes](std::uint32_t id) -> std::optional<platform::ProcessEntry> {
            const auto found = processes.find(id);
            if (found == processes.end()) return std::nullopt;
            return found->second;
          }};
}

std::vector<Finding> leftoverFindings() {
  std::vector<Finding> findings;
  for (const std::u16string& name : platform::findLeftovers()) {
    findings.push_back(makeFinding(RuleId::LeftoverFile, name,
                                   name + u" is the temporary file of an interrupted run: it "
                                          u"would ship with the package, unless a complete run "
                                          u"removes it first"));
  }
  return findings;
}

CheckedRun checkRun(const StartedBy& start, const ConfigView& config, DiskFiles& disk) {
  CheckedRun run;
  DryRunFolder folder{&disk, {}};
  const SettingsLookup settings = settingsOf(config);
  const RunEnvironment environment{start.selfId, start.processes, settings, dryRunFiles(folder)};
  run.trace = traceCustomization(environment);
  run.findings = runFindings(run.trace, folder, config.outline);
  run.complete = run.findings.empty();
  run.changes = changesOf(folder);
  return run;
}

}  // namespace check
