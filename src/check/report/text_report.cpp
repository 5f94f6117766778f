#include "check/report/text_report.h"

#include <algorithm>

#include "check/package/verdict.h"
#include "check/report/line_report.h"
#include "platform/codepage.h"

namespace check {

namespace {

void line(std::string& out, const std::string& label, const std::string& text) {
  out += label;
  if (label.size() < 15) out.append(15 - label.size(), ' ');
  out += text + "\n";
}

std::string q(const std::u16string& text) {
  return utf8(quoted(text));
}

std::string launcherText(const PackageCheck& check) {
  const LauncherSearch& walk = check.run.trace.launcher;
  if (walk.name.empty()) return "none: the processes cannot be listed";
  if (check.launcherGiven) {
    return q(*check.launcherGiven) + " (given with --launcher)" +
           (walk.end == WalkEnd::Launcher
                ? ""
                : ", but the run passes it by: its name does not begin with \"TRKV\"");
  }
  if (walk.end == WalkEnd::Launcher) return q(walk.name) + " (found among the parent processes)";
  return "none among the parent processes: the walk ends at " + q(walk.name) + ", " +
         utf8(walkEndText(walk.end));
}

void settingsLines(std::string& out, const PackageCheck& check) {
  const RunTrace& trace = check.run.trace;
  line(out, "config.xml", utf8(trace.load.configPath));
  if (trace.load.status != SettingsStatus::Loaded) return;
  std::string entry = "<binary code=" + q(trace.packageCode) + ">";
  if (check.entry.line > 0) entry += " at line " + std::to_string(check.entry.line);
  line(out, "  entry", entry);
  const bool o = trace.settings.useEVariant == Variant::O;
  const bool cmd = trace.cmdVariant == SetupKind::Cmd;
  const std::string variant =
      cmd ? (o ? "kv-setup_o.cmd" : "kv-setup_e.cmd") : (o ? "kvsetup_o.cif" : "kvsetup_e.cif");
  line(out, "  variant",
       variant + (o ? " (package_type is \"O\")" : " (package_type is not \"O\")"));
  line(out, "  barPc", q(trace.settings.barPc) + (o ? " (quil_bar_pc)" : " (not read)"));
  line(out, "  market", q(trace.settings.market) + " (market_type)");
}

const char* asked(const PatchRequest& request) {
  if (request.cmdFile == SetupKind::Cif) {
    return request.substituteValues ? "INF name, barPc and market" : "INF name";
  }
  return request.substituteValues ? "barPc and market" : "nothing (line ends only)";
}

const char* outcomeText(PatchOutcome outcome) {
  switch (outcome) {
    case PatchOutcome::Rewritten:
      return "rewritten";
    case PatchOutcome::Skipped:
      return "not opened";
    case PatchOutcome::NotRead:
      return "left alone: the file is missing or unreadable";
    case PatchOutcome::CutShort:
      return "left alone: bytes follow a NUL or 0x1A byte";
    case PatchOutcome::TextMissing:
      return "left alone: a text is missing";
    case PatchOutcome::NotWritten:
      return "left alone: the file is read-only";
  }
  return "";
}

void customizationLines(std::string& out, const Customization& done) {
  line(out, "copy",
       utf8(done.variantName + u" over " + done.liveName) +
           (done.copied ? ": copied" : ": NOT copied"));
  int number = 0;
  for (const PatchCall& call : done.patches) {
    line(out, "patch " + std::to_string(++number),
         utf8(call.request.setupPath) + ": " + asked(call.request));
    for (const AppliedSubstitution& applied : call.patched.applied) {
      const std::string change = q(platform::toWide(applied.substitution.searched)) + " -> " +
                                 q(platform::toWide(applied.substitution.replacement));
      line(out, applied.found ? "  line " + std::to_string(applied.line) : "  NOT FOUND", change);
    }
    line(out, "  result", outcomeText(call.patched.outcome));
  }
}

void findingLines(std::string& out, const ReportContext& context,
                  const std::vector<Finding>& findings) {
  if (findings.empty()) return;
  out += "findings\n";
  for (Finding f : findings) {
    if (f.packages > 0 && f.file != kConfigFile) {
      f.message += u" (breaks " + number(static_cast<long>(f.packages)) +
                   (f.packages == 1 ? u" package)" : u" packages)");
    }
    out += "  " + gccLine(location(context, f), f);
    if (const std::string note = fixItNote(context, f); !note.empty()) out += "  " + note;
  }
}

std::string verdict(const PackageCheck& check) {
  if (!isComplete(check.run)) return "incomplete: " + utf8(check.run.findings.front().message);
  const std::size_t warnings = countWarnings(check.findings);
  std::string text = "complete: the package would be customised completely";
  if (countErrors(check.findings) > 0) text += ", but config.xml holds errors";
  if (warnings > 0)
    text += ", with " + std::to_string(warnings) + " warning" + (warnings == 1 ? "" : "s");
  return text;
}

}  // namespace

std::string textReport(const ReportContext& context, const PackageCheck& check) {
  const RunTrace& trace = check.run.trace;
  std::string out;
  line(out, "launcher", launcherText(check));
  if (!trace.packageCode.empty()) {
    line(out, "package code", utf8(trace.packageCode));
    line(out, "kind",
         trace.cmdVariant == SetupKind::Cif ? ".cif launcher (its setup file is kvsetup.cif)"
                                            : ".cmd launcher (its setup script is kv-setup.cmd)");
    settingsLines(out, check);
  }
  if (!trace.customization.variantName.empty()) customizationLines(out, trace.customization);
  findingLines(out, context, check.findings);
  if (!check.suppressed.empty()) {
    line(out, "suppressed",
         std::to_string(check.suppressed.size()) + " kept out by comments in config.xml");
  }
  line(out, "verdict", verdict(check));
  if (context.withDiff) {
    for (const FileChange& change : check.run.changes) out += "\n" + changeDiff(change);
  }
  return out;
}

namespace {

std::string padded(std::string text, std::size_t width, bool right = false) {
  if (text.size() < width) text.insert(right ? 0 : text.size(), width - text.size(), ' ');
  return text;
}

const char* kindName(SetupKind kind) {
  return kind == SetupKind::Cif ? ".cif" : ".cmd";
}

void rowLines(std::string& out, const ReportContext& context, const Audit& audit) {
  std::size_t width = 4;
  for (const AuditRow& row : audit.rows) width = std::max(width, utf8(row.code).size());
  bool header = false;
  for (const AuditRow& row : audit.rows) {
    if (context.onlyFailures && row.complete) continue;
    if (!header) out += "\n" + padded("code", width) + "   line  kind  result\n";
    header = true;
    const std::string line = row.position.line > 0 ? std::to_string(row.position.line) : "";
    out += padded(utf8(row.code), width) + " " + padded(line, 6, true) + "  " +
           kindName(row.cmdVariant) + "  " +
           (row.complete ? "complete" : "incomplete: " + utf8(row.cause)) + "\n";
  }
}

std::string auditSummary(const Audit& audit) {
  return std::to_string(audit.packages) + " package" + (audit.packages == 1 ? "" : "s") + ": " +
         std::to_string(audit.completePackages) + " complete, " +
         std::to_string(audit.packages - audit.completePackages) + " incomplete; " +
         findingSummary(audit.findings, audit.suppressed.size());
}

}  // namespace

std::string auditTextReport(const ReportContext& context, const Audit& audit) {
  std::string out = "config.xml     " + utf8(audit.config.configPath) + "\n";
  rowLines(out, context, audit);
  out += "\n";
  findingLines(out, context, audit.findings);
  if (!audit.findings.empty()) out += "\n";
  out += auditSummary(audit) + "\n";
  if (!context.withDiff) return out;
  for (const AuditRow& row : audit.rows) {
    if (!row.firstOfOutcome || row.changes.empty()) continue;
    out += "\n# " + utf8(row.code) + ", " + kindName(row.cmdVariant) + " kind (" +
           utf8(row.launcherName) + "), the first package of its outcome\n";
    for (const FileChange& change : row.changes) out += changeDiff(change);
  }
  return out;
}

std::string joinedText(const std::vector<FolderReport>& reports) {
  if (reports.size() == 1) return reports.front().text;
  std::string out;
  for (const FolderReport& report : reports) {
    if (!report.error.empty()) continue;
    if (!out.empty()) out += "\n";
    line(out, "folder", shownFolder(report.context));
    out += report.text;
  }
  return out;
}

}  // namespace check
