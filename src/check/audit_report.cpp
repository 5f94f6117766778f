// The audit of a whole config.xml as text and as JSON.
#include <algorithm>

#include "check/json_text.h"
#include "check/report.h"
#include "platform/codepage.h"

namespace check {

namespace {

std::string narrow(const std::u16string& text) {
  return platform::toNarrow(text);
}

std::string plural(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

const char* kindName(std::int32_t cmdVariant) {
  return cmdVariant == 0 ? ".cif" : ".cmd";
}

const char* findingName(FindingKind kind) {
  switch (kind) {
    case FindingKind::NoEntries:
      return "no-entries";
    case FindingKind::NotUnderConfig:
      return "not-under-config";
    case FindingKind::MissingCode:
      return "missing-code";
    case FindingKind::UncarriedCode:
      return "uncarried-code";
    case FindingKind::DuplicateCode:
      return "duplicate-code";
    case FindingKind::BlankInValue:
      return "blank-in-value";
    case FindingKind::LooksLikeO:
      return "looks-like-o";
    case FindingKind::IgnoredBarPc:
      return "ignored-bar-pc";
    case FindingKind::PreparedFile:
      return "prepared-file";
  }
  return "unknown";
}

std::string findingText(const AuditFinding& finding) {
  std::string text = narrow(finding.text);
  if (finding.kind == FindingKind::PreparedFile) {
    text += " (breaks " + plural(finding.packages, "package") + ")";
  }
  return text;
}

std::string summary(const Audit& audit) {
  return plural(audit.packages, "package") + ": " + std::to_string(audit.completePackages) +
         " complete, " + std::to_string(audit.packages - audit.completePackages) + " incomplete; " +
         plural(audit.findings.size(), "finding");
}

std::string padded(std::string text, std::size_t width, bool right = false) {
  if (text.size() < width) text.insert(right ? 0 : text.size(), width - text.size(), ' ');
  return text;
}

}  // namespace

std::string auditTextReport(const Audit& audit, bool withDiff) {
  std::string out = "config.xml     " + narrow(audit.config.configPath) + "\n";
  if (audit.config.status != SettingsStatus::Loaded) {
    return out + "verdict        incomplete: " + narrow(settingsCause(audit.config, u"")) + "\n";
  }
  // The line column only where the DOM gives lines.
  std::size_t width = 4;
  bool lines = false;
  for (const AuditRow& row : audit.rows) {
    width = std::max(width, narrow(row.code).size());
    lines = lines || row.line != 0;
  }
  if (!audit.rows.empty()) {
    out += "\n" + padded("code", width) + (lines ? "   line" : "") + "  kind  result\n";
  }
  for (const AuditRow& row : audit.rows) {
    out += padded(narrow(row.code), width) +
           (lines ? " " + padded(row.line != 0 ? std::to_string(row.line) : "", 6, true) : "") +
           "  " + kindName(row.cmdVariant) + "  " +
           (row.complete ? "complete" : "incomplete: " + narrow(row.cause)) + "\n";
  }
  if (!audit.findings.empty()) out += "\nfindings\n";
  for (const AuditFinding& finding : audit.findings) {
    out += "  " + (finding.line != 0 ? "line " + std::to_string(finding.line) + ": " : "") +
           findingText(finding) + "\n";
  }
  out += "\n" + summary(audit) + "\n";
  if (withDiff) {
    for (const AuditRow& row : audit.rows) {
      if (!row.firstOfOutcome || row.changes.empty()) continue;
      out += "\n# " + narrow(row.code) + ", " + kindName(row.cmdVariant) + " kind (" +
             narrow(row.launcherName) + "), the first package of its outcome\n";
      for (const FileChange& change : row.changes) out += changeDiff(change);
    }
  }
  return out;
}

std::string auditJsonReport(const Audit& audit, bool withDiff) {
  std::string out = "{\n  \"configPath\": " + json(audit.config.configPath) + ",\n";
  if (audit.config.status != SettingsStatus::Loaded) {
    out += "  \"error\": " + json(settingsCause(audit.config, u""));
    if (audit.config.status == SettingsStatus::NotParsed) {
      out += ",\n  \"parseError\": {\"line\": " + json(audit.config.xmlError.line) +
             ", \"column\": " + json(audit.config.xmlError.column) +
             ", \"reason\": " + json(audit.config.xmlError.reason) + "}";
    }
    return out + ",\n  \"clean\": false\n}\n";
  }
  out += "  \"packages\": [";
  for (std::size_t i = 0; i < audit.rows.size(); ++i) {
    const AuditRow& row = audit.rows[i];
    out += i == 0 ? "\n" : ",\n";
    out += "    {\"code\": " + json(row.code) + ", \"line\": " + json(row.line) +
           ", \"kind\": " + json(std::string(kindName(row.cmdVariant) + 1)) +
           ", \"launcher\": " + json(row.launcherName) + ", \"complete\": " + json(row.complete) +
           ", \"cause\": " + json(row.cause);
    if (withDiff && row.firstOfOutcome) {
      out += ", \"diffs\": [";
      for (std::size_t c = 0; c < row.changes.size(); ++c) {
        out += (c == 0 ? "" : ", ") + std::string("{\"file\": ") + json(row.changes[c].name) +
               ", \"diff\": " + json(changeDiff(row.changes[c])) + "}";
      }
      out += "]";
    }
    out += "}";
  }
  out += audit.rows.empty() ? "],\n" : "\n  ],\n";
  out += "  \"findings\": [";
  for (std::size_t i = 0; i < audit.findings.size(); ++i) {
    const AuditFinding& finding = audit.findings[i];
    out += i == 0 ? "\n" : ",\n";
    out += "    {\"kind\": " + json(std::string(findingName(finding.kind))) +
           ", \"line\": " + json(finding.line) + ", \"text\": " + json(finding.text) +
           ", \"packages\": " + json(static_cast<long>(finding.packages)) + "}";
  }
  out += audit.findings.empty() ? "],\n" : "\n  ],\n";
  out += "  \"summary\": {\"packages\": " + json(static_cast<long>(audit.packages)) +
         ", \"complete\": " + json(static_cast<long>(audit.completePackages)) +
         ", \"incomplete\": " + json(static_cast<long>(audit.packages - audit.completePackages)) +
         ", \"findings\": " + json(static_cast<long>(audit.findings.size())) +
         ", \"text\": " + json(summary(audit)) + "},\n";
  return out + "  \"clean\": " + json(audit.clean) + "\n}\n";
}

}  // namespace check
