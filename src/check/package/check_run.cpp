#include "check/package/check_run.h"

#include <algorithm>

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

// The findings about what a run writes into the .cmd script: barPc and
// market, as written, with line breaks or letters beyond ASCII.
std::vector<Finding> scriptValueFindings(const RunTrace& trace, const ConfigOutline& outline) {
  std::vector<Finding> findings;
  for (const PatchCall& call : trace.customization.patches) {
    if (call.request.cmdFile == SetupKind::Cif || !call.request.substituteValues) continue;
    for (const auto& [name, value] : {std::pair(u"quil_bar_pc", call.request.barPc),
                                      std::pair(u"market_type", call.request.market)}) {
      const bool breaks = value.find_first_of(u"\r\n") != std::u16string::npos;
      const bool beyondAscii =
          std::any_of(value.begin(), value.end(), [](char16_t unit) { return unit > 0x7F; });
      if (!breaks && !beyondAscii) continue;
      Finding f = makeFinding(
          breaks ? RuleId::LineBreakInScript : RuleId::ScriptCodePage, kConfigFile,
          u"<" + std::u16string(name) + u"> of " + quoted(trace.packageCode) + u" is " +
              quoted(value) +
              (breaks ? u": the .cmd script gets it on several lines, and cmd.exe runs each "
                        u"line after the first as a command"
                      : u": the .cmd script gets it in the ANSI code page, and cmd.exe reads it "
                        u"in the console's OEM code page, where its letters beyond ASCII are "
                        u"others"),
          trace.packageCode);
      f.element = name;
      f.value = value;
      // Looked up only for a finding: most runs have none.
      if (const ConfigEntry* entry = entryFor(outline, trace.packageCode)) {
        for (const ConfigValue& v : entry->values) {
          if (v.name == name) f.position = v.position;
        }
      }
      findings.push_back(std::move(f));
    }
  }
  return findings;
}

}  // namespace

StartedBy startedBy(const std::u16string& launcher) {
  // Made for each run of --all: the launcher's name is all it holds.
  return {kToolId,
          [name = fileNameOf(launcher)](std::uint32_t id) -> std::optional<platform::ProcessEntry> {
            switch (id) {
              case kToolId:
                return platform::ProcessEntry{kLauncherId, u"pkgcustomize.exe"};
              case kLauncherId:
                return platform::ProcessEntry{kShellId, name};
              case kShellId:
                return platform::ProcessEntry{kShellParentId, u"explorer.exe"};
              default:
                return std::nullopt;
            }
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

bool isComplete(const CheckedRun& run) {
  return countErrors(run.findings) == 0;
}

CheckedRun checkRun(const StartedBy& start, const ConfigView& config, DiskFiles& disk,
                    const KeepChanges& keepChanges) {
  CheckedRun run;
  DryRunFolder folder{&disk, {}};
  const SettingsLookup settings = settingsOf(config);
  const RunEnvironment environment{start.selfId, start.processes, settings, dryRunFiles(folder)};
  run.trace = traceCustomization(environment);
  run.findings = runFindings(run.trace, folder, config.outline);
  for (Finding& f : scriptValueFindings(run.trace, config.outline)) {
    run.findings.push_back(std::move(f));
  }
  if (!keepChanges || keepChanges(run.trace)) run.changes = changesOf(folder);
  return run;
}

}  // namespace check
