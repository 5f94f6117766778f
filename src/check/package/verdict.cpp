#include "check/package/verdict.h"

#include "platform/codepage.h"

namespace check {

namespace {

Finding launcherFinding(const RunTrace& trace) {
  const LauncherSearch& walk = trace.launcher;
  if (walk.name.empty()) {
    return makeFinding(RuleId::NoLauncher, {},
                       u"the processes cannot be listed, so the run finds no launcher name");
  }
  if (walk.end == WalkEnd::Launcher) {
    return makeFinding(RuleId::NoPackageCode, {},
                       u"the launcher name " + quoted(walk.name) +
                           u" holds no package code: its third \"_\" field must begin with \"TR\"");
  }
  return makeFinding(RuleId::NoLauncher, {},
                     u"no launcher above the run: no process name begins with \"TRKV\" (in exactly "
                     u"that case) before the walk ends at " +
                         quoted(walk.name) + u", " + walkEndText(walk.end));
}

// The entry's position, or where a value of it is.
Finding configFinding(RuleId rule, const ConfigOutline& outline, const std::u16string& code,
                      const std::u16string& element, std::u16string message) {
  Finding f = makeFinding(rule, kConfigFile, std::move(message), code);
  f.element = element;
  if (const ConfigEntry* entry = entryFor(outline, code)) {
    const ConfigValue* value = valueOf(*entry, element);
    f.position = rule == RuleId::EmptyValue && value != nullptr ? value->position : entry->position;
  }
  return f;
}

Finding settingsFinding(const RunTrace& trace, const ConfigOutline& outline) {
  const std::u16string& code = trace.packageCode;
  const std::u16string entry = u"the entry " + quoted(code);
  const auto missing = [&](const char16_t* element, std::u16string why = {}) {
    return configFinding(RuleId::MissingValue, outline, code, element,
                         entry + why + u" has no <" + element + u">");
  };
  const auto empty = [&](const char16_t* element) {
    return configFinding(RuleId::EmptyValue, outline, code, element,
                         u"<" + std::u16string(element) + u"> of " + entry + u" is empty");
  };
  switch (trace.load.status) {
    case SettingsStatus::NoCurrentDirectory:
    case SettingsStatus::NoConfigFile:
    case SettingsStatus::DomUnavailable:
    case SettingsStatus::NotParsed:
      return configLoadFinding(trace.load);
    case SettingsStatus::QuoteInCode:
      return makeFinding(RuleId::NoEntry, kConfigFile,
                         u"the package code " + quoted(code) +
                             u" holds a double quote, which no entry "
                             u"matches",
                         code);
    case SettingsStatus::NoEntry:
      return makeFinding(RuleId::NoEntry, kConfigFile,
                         u"config.xml has no <binary code=" + quoted(code) +
                             u"> entry directly under <config> (codes match in exact case)",
                         code);
    case SettingsStatus::PackageTypeMissing:
      return missing(u"package_type");
    case SettingsStatus::PackageTypeEmpty:
      return empty(u"package_type");
    case SettingsStatus::BarPcMissing:
      return missing(u"quil_bar_pc", u", of type \"O\",");
    case SettingsStatus::BarPcEmpty:
      return empty(u"quil_bar_pc");
    case SettingsStatus::MarketMissing:
      return missing(u"market_type");
    case SettingsStatus::MarketEmpty:
      return empty(u"market_type");
    case SettingsStatus::Loaded:
      break;
  }
  return makeFinding(RuleId::RunError, kConfigFile, u"config.xml cannot be used");
}

Finding copyFinding(const Customization& done, DryRunFolder& folder) {
  if (!dryRunFile(folder, done.variantName).bytes) {
    return makeFinding(RuleId::MissingVariant, done.variantName,
                       u"the prepared file " + done.variantName +
                           u" is missing or unreadable: nothing is copied or patched");
  }
  return makeFinding(RuleId::ReadOnlyFile, done.liveName,
                     done.liveName + u" is read-only or not a regular file: " + done.variantName +
                         u" cannot be copied over it, and nothing is patched");
}

// An INF-name call that finds its text missing because the file already
// names this package's INF file: an earlier run did the work.
bool alreadyNamed(const PatchCall& call, DryRunFolder& folder) {
  const auto& bytes = dryRunFile(folder, call.request.setupPath).bytes;
  return call.request.cmdFile == SetupKind::Cif && !call.request.substituteValues && bytes &&
         bytes->find(call.patched.applied.back().substitution.replacement) != std::string::npos;
}

// The finding of one patch call; none when it did its work.
std::optional<Finding> patchFinding(const Customization& done, const PatchCall& call,
                                    DryRunFolder& folder) {
  const std::u16string& path = call.request.setupPath;
  // The text of the live file that this run copied comes from the variant.
  const bool copiedNow = path == done.liveName;
  const std::u16string& origin = copiedNow ? done.variantName : path;
  // Words made only for a finding: most calls do their work.
  const auto ofCopy = [&] {
    return copiedNow ? u", so its copy " + path + u" is" : std::u16string(u", so it is");
  };
  switch (call.patched.outcome) {
    case PatchOutcome::Rewritten:
    case PatchOutcome::Skipped:
      return std::nullopt;
    case PatchOutcome::NotRead:
      return makeFinding(
          RuleId::NoLiveCif, path,
          path + u" does not exist or cannot be read, so it does not get the INF name");
    case PatchOutcome::CutShort:
      return makeFinding(
          RuleId::CutShort, origin,
          origin + u" holds a NUL or 0x1A byte before its end" + ofCopy() + u" left unpatched");
    case PatchOutcome::NotWritten:
      return makeFinding(RuleId::ReadOnlyFile, path,
                         path + u" is read-only, so it is left unpatched");
    case PatchOutcome::TextMissing:
      break;
  }
  if (alreadyNamed(call, folder)) return std::nullopt;
  const std::u16string text = platform::toWide(call.patched.applied.back().substitution.searched);
  return makeFinding(
      RuleId::MissingText, origin,
      origin + u" lacks " + quoted(text) + ofCopy() + u" left unpatched" +
          (call.request.continueWhenTextMissing ? u"" : u" and the run stops there"));
}

}  // namespace

Finding configLoadFinding(const SettingsLoad& load) {
  const platform::XmlLoadError& error = load.xmlError;
  switch (load.status) {
    case SettingsStatus::NoCurrentDirectory:
      return makeFinding(RuleId::NoConfig, kConfigFile, u"the package folder cannot be read");
    case SettingsStatus::NoConfigFile:
      return makeFinding(RuleId::NoConfig, kConfigFile,
                         u"there is no config.xml in the package folder");
    case SettingsStatus::DomUnavailable:
      return makeFinding(RuleId::ConfigUnreadable, kConfigFile,
                         u"the XML DOM cannot be created, so config.xml cannot be read");
    default: {
      Finding f = makeFinding(RuleId::ConfigUnreadable, kConfigFile,
                              u"config.xml cannot be parsed: " +
                                  (error.reason.empty() ? u"position unknown" : error.reason));
      f.position = {error.line, error.column};
      return f;
    }
  }
}

std::u16string walkEndText(WalkEnd end) {
  switch (end) {
    case WalkEnd::Launcher:
      return u"a launcher";
    case WalkEnd::Shell:
      return u"the desktop shell";
    case WalkEnd::NoParent:
      return u"a process with no parent";
    case WalkEnd::ParentMissing:
      return u"whose parent has ended";
    case WalkEnd::Loop:
      return u"where the process ids run in a loop";
    case WalkEnd::NotListed:
      return u"where the processes cannot be listed";
  }
  return {};
}

std::vector<Finding> runFindings(const RunTrace& trace, DryRunFolder& folder,
                                 const ConfigOutline& outline) {
  switch (trace.end) {
    case RunEnd::NoLauncherName:
    case RunEnd::NoPackageCode:
      return {launcherFinding(trace)};
    case RunEnd::NoSettings:
      return {settingsFinding(trace, outline)};
    case RunEnd::NotCopied:
      return {copyFinding(trace.customization, folder)};
    case RunEnd::Failed:
      return {makeFinding(RuleId::RunError, {},
                          u"the run ends with an error: " + platform::toWide(trace.error))};
    case RunEnd::Finished:
      break;
  }
  std::vector<Finding> findings;
  for (const PatchCall& call : trace.customization.patches) {
    if (auto f = patchFinding(trace.customization, call, folder)) findings.push_back(*f);
  }
  return findings;
}

}  // namespace check
