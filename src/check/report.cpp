#include "check/report.h"

#include "check/json_text.h"
#include "check/unified_diff.h"
#include "platform/codepage.h"

namespace check {

namespace {

std::string narrow(const std::u16string& text) {
  return platform::toNarrow(text);
}

// How far the run gets.
bool readsSettings(const Diagnosis& d) {
  return !d.packageCode.empty();
}
bool getsToTheCopy(const Diagnosis& d) {
  return !d.variantName.empty();
}

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

const char* statusName(SettingsStatus status) {
  switch (status) {
    case SettingsStatus::Loaded:
      return "loaded";
    case SettingsStatus::NoCurrentDirectory:
      return "no-current-directory";
    case SettingsStatus::NoConfigFile:
      return "no-config-file";
    case SettingsStatus::DomUnavailable:
      return "dom-unavailable";
    case SettingsStatus::NotParsed:
      return "not-parsed";
    case SettingsStatus::QuoteInCode:
      return "quote-in-code";
    case SettingsStatus::NoEntry:
      return "no-entry";
    case SettingsStatus::PackageTypeMissing:
      return "package-type-missing";
    case SettingsStatus::PackageTypeEmpty:
      return "package-type-empty";
    case SettingsStatus::BarPcMissing:
      return "bar-pc-missing";
    case SettingsStatus::BarPcEmpty:
      return "bar-pc-empty";
    case SettingsStatus::MarketMissing:
      return "market-missing";
    case SettingsStatus::MarketEmpty:
      return "market-empty";
  }
  return "unknown";
}

const char* verdictName(PatchVerdict verdict) {
  switch (verdict) {
    case PatchVerdict::Rewritten:
      return "rewritten";
    case PatchVerdict::NoFile:
      return "no-file";
    case PatchVerdict::CutShort:
      return "cut-short";
    case PatchVerdict::TextMissing:
      return "text-missing";
    case PatchVerdict::AlreadyNamed:
      return "already-named";
    case PatchVerdict::ReadOnly:
      return "read-only";
  }
  return "unknown";
}

std::string verdictText(const PatchCheck& check) {
  switch (check.verdict) {
    case PatchVerdict::Rewritten:
      return "rewritten";
    case PatchVerdict::NoFile:
      return "not patched: the file does not exist";
    case PatchVerdict::CutShort:
      return "left alone: bytes follow a NUL or 0x1A byte";
    case PatchVerdict::TextMissing:
      return check.request.continueWhenTextMissing
                 ? "left alone: a text is missing; the run goes on"
                 : "left alone: a text is missing; the run stops here";
    case PatchVerdict::AlreadyNamed:
      return "left alone: it already names this package's INF file";
    case PatchVerdict::ReadOnly:
      return "left alone: the file is read-only";
  }
  return "";
}

std::string whatIsAsked(const PatchRequest& request) {
  if (request.cmdFile == 0)
    return request.substituteValues ? "INF name, barPc and market" : "INF name";
  return request.substituteValues ? "barPc and market" : "nothing (line ends only)";
}

void line(std::string& out, const std::string& label, const std::string& text) {
  out += label;
  if (label.size() < 15) out.append(15 - label.size(), ' ');
  out += text + "\n";
}

}  // namespace

std::string changeDiff(const FileChange& change) {
  return unifiedDiff(change.before.value_or(""), change.after, narrow(change.name),
                     change.before.has_value());
}

std::string textReport(const Diagnosis& d, bool withDiff) {
  std::string out;
  line(out, "launcher",
       d.launcherName.empty()
           ? "(none)"
           : quoted(narrow(d.launcherName)) +
                 (d.launcherGiven ? " (given with --launcher)" : " (found in the process tree)"));
  if (!d.packageCode.empty()) {
    line(out, "package code", narrow(d.packageCode));
    line(out, "cmdVariant",
         std::to_string(d.cmdVariant) +
             (d.cmdVariant == 0 ? " (the .cif setup file)" : " (the .cmd setup script)"));
  }
  if (readsSettings(d)) {
    line(out, "config.xml", narrow(d.load.configPath));
    if (d.load.status == SettingsStatus::Loaded) {
      line(out, "  entry", "<binary code=" + quoted(narrow(d.packageCode)) + ">");
      line(out, "  useEVariant",
           std::to_string(d.settings.useEVariant) +
               (d.settings.useEVariant == 0 ? " (package_type is \"O\": the \"_o\" variants)"
                                            : " (package_type is not \"O\": the \"_e\" variants)"));
      line(out, "  barPc",
           quoted(narrow(d.settings.barPc)) +
               (d.settings.useEVariant == 0 ? " (quil_bar_pc)" : " (default)"));
      line(out, "  market", quoted(narrow(d.settings.market)) + " (market_type)");
    } else {
      line(out, "  load", std::string("fails (") + statusName(d.load.status) + ")");
    }
  }
  if (getsToTheCopy(d)) {
    std::string copy = narrow(d.variantName) + " over " + narrow(d.liveName);
    copy += d.variantExists ? " (variant present" : " (variant MISSING";
    copy += !d.liveExists    ? ", live file new)"
            : d.liveReadOnly ? ", live file READ-ONLY)"
                             : ", live file writable)";
    line(out, "copy", copy);
  }
  int number = 0;
  for (const PatchCheck& check : d.patches) {
    line(out, "patch " + std::to_string(++number),
         narrow(check.request.setupPath) + ": " + whatIsAsked(check.request));
    for (const AppliedSubstitution& applied : check.applied) {
      const std::string change =
          quoted(applied.substitution.searched) + " -> " + quoted(applied.substitution.replacement);
      line(out, applied.found ? "  line " + std::to_string(applied.line) : "  NOT FOUND", change);
    }
    line(out, "  result", verdictText(check));
  }
  line(out, "verdict",
       d.complete ? "complete: the package would be customised completely"
                  : "incomplete: " + narrow(d.cause));
  if (withDiff) {
    for (const FileChange& change : d.changes) out += "\n" + changeDiff(change);
  }
  return out;
}

std::string jsonReport(const Diagnosis& d, bool withDiff) {
  std::string out = "{\n";
  out += "  \"launcher\": {\"name\": " + json(d.launcherName) +
         ", \"source\": " + json(std::string(d.launcherGiven ? "command-line" : "process-tree")) +
         "},\n";
  out += "  \"packageCode\": " + json(d.packageCode) + ",\n";
  out += "  \"cmdVariant\": " + std::to_string(d.cmdVariant) + ",\n";
  if (readsSettings(d)) {
    out += "  \"settings\": {\"status\": " + json(std::string(statusName(d.load.status))) +
           ", \"configPath\": " + json(d.load.configPath);
    if (d.load.status == SettingsStatus::NotParsed) {
      out += ", \"parseError\": {\"line\": " + json(d.load.xmlError.line) +
             ", \"column\": " + json(d.load.xmlError.column) +
             ", \"reason\": " + json(d.load.xmlError.reason) + "}";
    }
    out += ", \"useEVariant\": " + std::to_string(d.settings.useEVariant) +
           ", \"barPc\": " + json(d.settings.barPc) + ", \"market\": " + json(d.settings.market) +
           "},\n";
  }
  if (getsToTheCopy(d)) {
    out += "  \"copy\": {\"variant\": " + json(d.variantName) + ", \"live\": " + json(d.liveName) +
           ", \"variantExists\": " + json(d.variantExists) +
           ", \"liveExists\": " + json(d.liveExists) +
           ", \"liveReadOnly\": " + json(d.liveReadOnly) +
           ", \"copies\": " + json(d.variantExists && !d.liveReadOnly) + "},\n";
  }
  out += "  \"patches\": [";
  for (std::size_t i = 0; i < d.patches.size(); ++i) {
    const PatchCheck& check = d.patches[i];
    out += i == 0 ? "\n" : ",\n";
    out += "    {\"file\": " + json(check.request.setupPath) +
           ", \"cmdFile\": " + std::to_string(check.request.cmdFile) +
           ", \"substituteValues\": " + json(check.request.substituteValues) +
           ", \"verdict\": " + json(std::string(verdictName(check.verdict))) +
           ", \"substitutions\": [";
    for (std::size_t s = 0; s < check.applied.size(); ++s) {
      const AppliedSubstitution& applied = check.applied[s];
      out += (s == 0 ? "" : ", ") + std::string("{\"searched\": ") +
             json(applied.substitution.searched) +
             ", \"replacement\": " + json(applied.substitution.replacement) +
             ", \"found\": " + json(applied.found) + ", \"line\": " + std::to_string(applied.line) +
             "}";
    }
    out += "]}";
  }
  out += d.patches.empty() ? "],\n" : "\n  ],\n";
  out += "  \"changes\": [";
  for (std::size_t i = 0; i < d.changes.size(); ++i) {
    const FileChange& change = d.changes[i];
    out += i == 0 ? "\n" : ",\n";
    out += "    {\"file\": " + json(change.name) +
           ", \"existsNow\": " + json(change.before.has_value());
    if (withDiff) out += ", \"diff\": " + json(changeDiff(change));
    out += "}";
  }
  out += d.changes.empty() ? "],\n" : "\n  ],\n";
  out += "  \"complete\": " + json(d.complete) + ",\n";
  out += "  \"cause\": " + json(d.cause) + "\n}\n";
  return out;
}

}  // namespace check
