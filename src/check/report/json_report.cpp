#include "check/report/json_report.h"

#include <iterator>
#include <map>

#include "check/package/verdict.h"

namespace check {

namespace {

using json = nlohmann::ordered_json;

json text(const std::u16string& value) {
  return value.empty() ? json() : json(utf8(value));
}

json count(long value) {
  return value > 0 ? json(value) : json();
}

const char* kindName(SetupKind kind) {
  return kind == SetupKind::Cif ? "cif" : "cmd";
}

const char* walkEndName(WalkEnd end) {
  const char* const names[] = {"launcher",       "shell", "no-parent",
                               "parent-missing", "loop",  "not-listed"};
  static_assert(std::size(names) == static_cast<std::size_t>(WalkEnd::NotListed) + 1);
  return names[static_cast<int>(end)];
}

const char* statusName(SettingsStatus status) {
  const char* const names[] = {"loaded",          "no-current-directory", "no-config-file",
                               "dom-unavailable", "not-parsed",           "quote-in-code",
                               "no-entry",        "package-type-missing", "package-type-empty",
                               "bar-pc-missing",  "bar-pc-empty",         "market-missing",
                               "market-empty"};
  static_assert(std::size(names) == static_cast<std::size_t>(SettingsStatus::MarketEmpty) + 1);
  return names[static_cast<int>(status)];
}

const char* outcomeName(PatchOutcome outcome) {
  const char* const names[] = {"rewritten", "skipped",      "not-read",
                               "cut-short", "text-missing", "not-written"};
  return names[static_cast<int>(outcome)];
}

json head(const char* mode) {
  return {{"schemaVersion", kJsonSchemaVersion},
          {"tool", {{"name", "pkgcustomize-check"}, {"version", PKGCUSTOMIZE_VERSION}}},
          {"mode", mode}};
}

json head(const ReportContext& context, const char* mode) {
  json out = head(mode);
  out["folder"] = utf8(context.folder);
  return out;
}

json summary(const std::vector<Finding>& findings, const std::vector<Finding>& suppressed) {
  return {{"errors", countErrors(findings)},
          {"warnings", countWarnings(findings)},
          {"byRule", countByRule(findings)},
          {"suppressed", suppressed.size()}};
}

json launcherJson(const PackageCheck& check) {
  const LauncherSearch& walk = check.run.trace.launcher;
  return {{"name", text(walk.name)},
          {"given", check.launcherGiven ? text(*check.launcherGiven) : json()},
          {"source", check.launcherGiven ? "command-line" : "process-tree"},
          {"isLauncher", walk.end == WalkEnd::Launcher},
          {"walkEnd", walkEndName(walk.end)}};
}

json settingsJson(const RunTrace& trace) {
  const bool read = trace.end != RunEnd::NoLauncherName && trace.end != RunEnd::NoPackageCode;
  const bool loaded = read && trace.load.status == SettingsStatus::Loaded;
  return {{"configFile", read ? text(trace.load.configPath) : json()},
          {"status", read ? json(statusName(trace.load.status)) : json()},
          {"useEVariant", loaded ? json(trace.settings.useEVariant == Variant::E) : json()},
          {"barPc", loaded ? json(utf8(trace.settings.barPc)) : json()},
          {"market", loaded ? json(utf8(trace.settings.market)) : json()}};
}

json patchJson(const PatchCall& call) {
  json substitutions = json::array();
  for (const AppliedSubstitution& applied : call.patched.applied) {
    substitutions.push_back({{"searched", utf8FromNarrow(applied.substitution.searched)},
                             {"replacement", utf8FromNarrow(applied.substitution.replacement)},
                             {"found", applied.found},
                             {"line", applied.found ? json(applied.line) : json()}});
  }
  return {{"file", utf8(call.request.setupPath)},
          {"kind", kindName(call.request.cmdFile)},
          {"infName", call.request.cmdFile == SetupKind::Cif},
          {"values", call.request.substituteValues},
          {"outcome", outcomeName(call.patched.outcome)},
          {"substitutions", substitutions}};
}

json changesJson(const std::vector<FileChange>& changes, bool withDiff) {
  json out = json::array();
  for (const FileChange& change : changes) {
    out.push_back({{"file", utf8(change.name)},
                   {"existsNow", change.before.has_value()},
                   {"diff", withDiff ? json(changeDiff(change)) : json()}});
  }
  return out;
}

json findingsJson(const std::vector<Finding>& findings) {
  json out = json::array();
  for (const Finding& f : findings) out.push_back(findingJson(f));
  return out;
}

json fixJson(const std::optional<Fix>& fix) {
  if (!fix) return json();
  json edits = json::array();
  for (const TextEdit& e : editsOf(*fix)) {
    edits.push_back({{"offset", e.offset},
                     {"length", e.length},
                     {"text", utf8(e.text)},
                     {"line", e.start.line},
                     {"column", e.start.column},
                     {"endLine", e.end.line},
                     {"endColumn", e.end.column}});
  }
  return {
      {"description", utf8(fix->description)}, {"removeFile", removesFile(*fix)}, {"edits", edits}};
}

}  // namespace

json findingJson(const Finding& f) {
  return {{"rule", rule(f.rule).name},
          {"severity", severityName(severityOf(f))},
          {"file", text(f.file)},
          {"line", count(f.position.line)},
          {"column", count(f.position.column)},
          {"code", text(f.code)},
          {"element", text(f.element)},
          {"value", f.value ? json(utf8(*f.value)) : json()},
          {"suggested", text(f.suggested)},
          {"message", utf8(f.message)},
          {"packages", count(static_cast<long>(f.packages))},
          {"fix", fixJson(f.fix)}};
}

std::string dumped(const json& value) {
  return value.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

json jsonReport(const ReportContext& context, const PackageCheck& check) {
  const RunTrace& trace = check.run.trace;
  const Customization& done = trace.customization;
  const bool copyTried = !done.variantName.empty();
  json patches = json::array();
  for (const PatchCall& call : done.patches) patches.push_back(patchJson(call));
  json out = head(context, "package");
  out["launcher"] = launcherJson(check);
  out["packageCode"] = text(trace.packageCode);
  out["kind"] = trace.packageCode.empty() ? json() : json(kindName(trace.cmdVariant));
  out["settings"] = settingsJson(trace);
  out["copy"] = {{"variant", text(done.variantName)},
                 {"live", text(done.liveName)},
                 {"copied", copyTried ? json(done.copied) : json()}};
  out["patches"] = patches;
  out["changes"] = changesJson(check.run.changes, context.withDiff);
  out["findings"] = findingsJson(check.findings);
  out["suppressed"] = findingsJson(check.suppressed);
  out["complete"] = isComplete(check.run);
  out["cause"] = isComplete(check.run) ? json() : json(utf8(check.run.findings.front().message));
  out["summary"] = summary(check.findings, check.suppressed);
  return out;
}

json auditJsonReport(const ReportContext& context, const Audit& audit) {
  json rows = json::array();
  for (const AuditRow& row : audit.rows) {
    if (context.onlyFailures && row.complete) continue;
    const bool diffs = context.withDiff && row.firstOfOutcome;
    json diffList = json::array();
    for (const FileChange& change : row.changes) {
      diffList.push_back({{"file", utf8(change.name)}, {"diff", changeDiff(change)}});
    }
    rows.push_back({{"code", utf8(row.code)},
                    {"line", count(row.position.line)},
                    {"column", count(row.position.column)},
                    {"kind", kindName(row.cmdVariant)},
                    {"launcher", utf8(row.launcherName)},
                    {"complete", row.complete},
                    {"cause", text(row.cause)},
                    {"diffs", diffs ? diffList : json()}});
  }
  json out = head(context, "all");
  out["configFile"] = text(audit.config.configPath);
  out["configStatus"] = statusName(audit.config.status);
  out["packages"] = rows;
  out["findings"] = findingsJson(audit.findings);
  out["suppressed"] = findingsJson(audit.suppressed);
  json counts = summary(audit.findings, audit.suppressed);
  counts["packages"] = audit.packages;
  counts["complete"] = audit.completePackages;
  counts["incomplete"] = audit.packages - audit.completePackages;
  out["summary"] = counts;
  return out;
}

std::string jsonFolders(const std::vector<FolderReport>& reports) {
  if (reports.size() == 1) return dumped(reports.front().document);
  json folders = json::array();
  std::size_t errors = 0;
  std::size_t warnings = 0;
  std::size_t suppressed = 0;
  std::size_t notChecked = 0;
  std::map<std::string, std::size_t> byRule;
  for (const FolderReport& report : reports) {
    folders.push_back({{"given", report.given ? text(*report.given) : json()},
                       {"error", report.error.empty() ? json() : json(report.error)},
                       {"report", report.error.empty() ? report.document : json()}});
    if (!report.error.empty()) {
      ++notChecked;
      continue;
    }
    const json& counts = report.document.at("summary");
    errors += counts.at("errors").get<std::size_t>();
    warnings += counts.at("warnings").get<std::size_t>();
    suppressed += counts.at("suppressed").get<std::size_t>();
    for (const auto& [name, count] : counts.at("byRule").items()) {
      byRule[name] += count.get<std::size_t>();
    }
  }
  json out = head("folders");
  out["folders"] = folders;
  out["summary"] = {{"errors", errors},          {"warnings", warnings},
                    {"byRule", byRule},          {"suppressed", suppressed},
                    {"folders", reports.size()}, {"notChecked", notChecked}};
  return dumped(out);
}

}  // namespace check
