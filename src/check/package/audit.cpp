#include "check/package/audit.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "app/launcher.h"
#include "check/lint/config_fix.h"
#include "check/lint/suppression.h"
#include "check/package/package_folder.h"
#include "check/package/verdict.h"
#include "platform/files.h"

namespace check {

namespace {

// What sets a run's outcome apart, beyond the package's own values: runs
// with the same key differ only in the code, barPc and market they write.
std::u16string outcomeOf(const RunTrace& trace) {
  const Customization& done = trace.customization;
  // Appended piece by piece: made for every run of --all.
  std::u16string key;
  for (const long part : {static_cast<long>(trace.cmdVariant), static_cast<long>(trace.end),
                          static_cast<long>(trace.load.status)}) {
    key += number(part);
    key += u'|';
  }
  key += done.variantName;
  for (const PatchCall& call : done.patches) {
    key += u'|';
    key += call.request.setupPath;
    key += u':';
    key += number(static_cast<long>(call.patched.outcome));
    key += u':';
    key += number(static_cast<long>(call.patched.applied.size()));
  }
  return key;
}

// The findings of every run, each once, with the packages it breaks.
struct RunFindings {
  using Key = std::tuple<RuleId, std::u16string, long, long, std::u16string>;
  std::map<Key, std::size_t> index;
  std::vector<Finding> findings;
  std::vector<std::set<std::u16string>> codes;  // of each finding
};

void addRunFinding(RunFindings& runs, const Finding& f, const std::u16string& packageCode) {
  const auto key = std::tuple(f.rule, f.file, f.position.line, f.position.column, f.message);
  const auto [at, inserted] = runs.index.emplace(key, runs.findings.size());
  if (inserted) {
    runs.findings.push_back(f);
    runs.codes.emplace_back();
  }
  runs.codes[at->second].insert(packageCode);
  runs.findings[at->second].packages = runs.codes[at->second].size();
}

// config.xml's findings first, in document order, then the other files'.
void order(std::vector<Finding>& findings) {
  std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
    const auto rank = [](const Finding& f) {
      return std::tuple(f.file != kConfigFile, f.file, f.position.line, f.position.column);
    };
    return rank(a) < rank(b);
  });
}

// What the runs of an audit share: the files read, the findings so far and
// the outcomes seen.
struct Runs {
  const ConfigView& config;
  DiskFiles disk;
  RunFindings findings;
  std::set<std::u16string> outcomes;
};

// The row of one kind of launcher of an entry, from its run; true when the
// run customises the package completely.
bool auditRun(const ConfigEntry& entry, SetupKind kind, Runs& runs, AuditRow& row) {
  row.code = entry.code;
  row.position = entry.position;
  row.cmdVariant = kind;
  row.launcherName = launcherFor(entry.code, kind);
  CheckedRun run =
      checkRun(startedBy(row.launcherName), runs.config, runs.disk, [&](const RunTrace& trace) {
        return row.firstOfOutcome = runs.outcomes.insert(outcomeOf(trace)).second;
      });
  row.complete = isComplete(run);
  if (!run.findings.empty()) row.cause = run.findings.front().message;
  for (const Finding& f : run.findings) addRunFinding(runs.findings, f, entry.code);
  row.changes = std::move(run.changes);
  return row.complete;
}

}  // namespace

std::u16string launcherFor(const std::u16string& code, SetupKind cmdVariant) {
  return kLauncherPrefix +
         (u"package_all_" + code + (cmdVariant == SetupKind::Cif ? u"_x.exe" : u"_xl.exe"));
}

Audit auditPackages(const ConfigView& config) {
  Audit audit;
  audit.config = config.load;
  audit.findings = fileFindings(config);
  for (Finding& f : leftoverFindings()) audit.findings.push_back(std::move(f));
  if (config.document) {
    Runs runs{config, {}, {}, {}};
    audit.rows.reserve(2 * config.outline.entries.size());
    for (const ConfigEntry& entry : config.outline.entries) {
      if (!entry.read) continue;
      ++audit.packages;
      const bool cif = auditRun(entry, SetupKind::Cif, runs, audit.rows.emplace_back());
      const bool cmd = auditRun(entry, SetupKind::Cmd, runs, audit.rows.emplace_back());
      if (cif && cmd) ++audit.completePackages;
    }
    for (Finding& f : runs.findings.findings) audit.findings.push_back(std::move(f));
    order(audit.findings);
  }
  audit.suppressed = applySuppressions(audit.findings, findSuppressions(bytesOf(config)), true);
  order(audit.findings);
  planFixes(audit.findings, bytesOf(config), config.outline);
  return audit;
}

Audit auditFolder(const std::u16string& folder, std::optional<std::string> bytes) {
  const DirectoryRestorer restorer;
  if (!platform::changeDirectory(folder)) {
    Audit audit;
    audit.config.status = SettingsStatus::NoCurrentDirectory;
    audit.findings = {configLoadFinding(audit.config)};
    return audit;
  }
  const ConfigView config = bytes ? configViewOf(std::move(*bytes)) : readConfigView();
  return auditPackages(config);
}

}  // namespace check
