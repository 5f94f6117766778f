#include "check/diagnosis.h"

#include <map>

#include "app/package_name.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace check {

namespace {

// A parser message on one line, without its trailing line break.
std::u16string oneLine(std::u16string text) {
  for (char16_t& unit : text) {
    if (unit == u'\r' || unit == u'\n') unit = u' ';
  }
  while (!text.empty() && text.back() == u' ') text.pop_back();
  return text;
}

// A live file as the run sees it: what it holds and whether it can be written.
struct FileState {
  std::optional<std::string> bytes;
  bool readOnly = false;
};

// An INF-name call that finds its text missing because the file already
// names this package's INF file: an earlier run did the work.
bool alreadyNamed(const PatchCheck& check, const std::string& bytes) {
  return check.request.cmdFile == 0 && !check.request.substituteValues &&
         check.applied.size() == 1 &&
         bytes.find(check.applied.front().substitution.replacement) != std::string::npos;
}

// The file `name` of the current directory, read on first use.
const FolderFile& folderFile(FolderFiles& files, const std::u16string& name) {
  auto found = files.find(name);
  if (found == files.end()) {
    FolderFile file{platform::readFileBytes(name), platform::fileExists(name),
                    platform::isReadOnly(name)};
    found = files.emplace(name, std::move(file)).first;
  }
  return found->second;
}

}  // namespace

std::u16string quoted(const std::u16string& text) {
  return u"\"" + text + u"\"";
}

std::u16string number(long value) {
  return platform::toWide(std::to_string(value));
}

std::u16string settingsCause(const SettingsLoad& load, const std::u16string& code) {
  const std::u16string entry = u"the entry " + quoted(code);
  switch (load.status) {
    case SettingsStatus::Loaded:
      return {};
    case SettingsStatus::NoCurrentDirectory:
      return u"the package folder cannot be read";
    case SettingsStatus::NoConfigFile:
      return u"there is no config.xml in the package folder";
    case SettingsStatus::DomUnavailable:
      return u"the XML DOM cannot be created, so config.xml cannot be read";
    case SettingsStatus::NotParsed: {
      std::u16string cause = u"config.xml cannot be parsed";
      if (load.xmlError.line != 0) {
        cause +=
            u" at line " + number(load.xmlError.line) + u", column " + number(load.xmlError.column);
      }
      const std::u16string reason = oneLine(load.xmlError.reason);
      return reason.empty() ? cause : cause + u": " + reason;
    }
    case SettingsStatus::QuoteInCode:
      return u"the package code " + quoted(code) + u" holds a double quote, which no entry matches";
    case SettingsStatus::NoEntry:
      return u"config.xml has no <binary code=" + quoted(code) +
             u"> entry directly under <config> (codes match in exact case)";
    case SettingsStatus::PackageTypeMissing:
      return entry + u" has no <package_type>";
    case SettingsStatus::PackageTypeEmpty:
      return u"<package_type> of " + entry + u" is empty";
    case SettingsStatus::BarPcMissing:
      return entry + u" is of type \"O\" but has no <quil_bar_pc>";
    case SettingsStatus::BarPcEmpty:
      return u"<quil_bar_pc> of " + entry + u" is empty";
    case SettingsStatus::MarketMissing:
      return entry + u" has no <market_type>";
    case SettingsStatus::MarketEmpty:
      return u"<market_type> of " + entry + u" is empty";
  }
  return u"config.xml cannot be used";
}

Diagnosis diagnosePackage(const std::u16string& launcherName, bool launcherGiven) {
  FolderFiles files;
  return diagnosePackage(launcherName, launcherGiven, loadPackageSettingsExplained, files);
}

Diagnosis diagnosePackage(const std::u16string& launcherName, bool launcherGiven,
                          const SettingsLookup& lookup, FolderFiles& folder) {
  Diagnosis d;
  d.launcherName = launcherName;
  d.launcherGiven = launcherGiven;
  const auto finish = [&d](std::u16string cause) {
    if (d.cause.empty()) d.cause = std::move(cause);
    d.complete = d.cause.empty();
    return d;
  };

  if (launcherName.empty())
    return finish(u"there is no launcher name: the processes cannot be listed");
  d.packageCode = parsePackageCode(launcherName);
  d.cmdVariant = parseCmdVariant(launcherName);
  if (d.packageCode.empty()) {
    return finish(u"the launcher name " + quoted(launcherName) +
                  u" holds no package code: its third \"_\" field must begin with \"TR\"");
  }

  d.load = lookup(d.settings, d.packageCode);
  if (d.load.status != SettingsStatus::Loaded) return finish(settingsCause(d.load, d.packageCode));

  d.variantName = variantFileName(d.cmdVariant, d.settings.useEVariant);
  d.liveName = d.cmdVariant == 0 ? kCifName : kCmdName;
  const FolderFile& variant = folderFile(folder, d.variantName);
  const FolderFile& live = folderFile(folder, d.liveName);
  d.variantExists = variant.bytes.has_value();
  d.liveExists = live.exists;
  d.liveReadOnly = live.readOnly;
  if (!variant.bytes) {
    return finish(u"the variant " + d.variantName +
                  u" is missing or unreadable: nothing would be copied or patched");
  }
  if (d.liveReadOnly) {
    return finish(d.liveName + u" is read-only: " + d.variantName +
                  u" cannot be copied over it, and nothing would be patched");
  }

  // The files as the run would leave them; the copy takes on the variant's
  // read-only mark along with its bytes.
  std::map<std::u16string, FileState> files;
  std::map<std::u16string, std::optional<std::string>> before{{d.liveName, live.bytes}};
  files[d.liveName] = {variant.bytes, variant.readOnly};
  std::u16string shortfall;
  const auto fallShort = [&shortfall](std::u16string cause) {
    if (shortfall.empty()) shortfall = std::move(cause);
  };

  const auto requests = planPatches(d.packageCode, d.cmdVariant, d.settings.useEVariant,
                                    d.settings.market, d.settings.barPc);
  for (const PatchRequest& request : requests) {
    PatchCheck& check = d.patches.emplace_back();
    check.request = request;
    const std::u16string& path = request.setupPath;
    if (!files.contains(path)) {
      const FolderFile& now = folderFile(folder, path);
      before[path] = now.bytes;
      files[path] = {now.bytes, now.readOnly};
    }
    FileState& file = files[path];
    if (!file.bytes) {
      check.verdict = PatchVerdict::NoFile;
      fallShort(path + u" does not exist, so it would not be patched");
      continue;
    }
    PatchedSetup patched = patchSetupBytes(*file.bytes, request.cmdFile, request.packageCode,
                                           request.market, request.substituteValues, request.barPc);
    check.applied = std::move(patched.applied);
    if (patched.outcome == PatchOutcome::CutShort) {
      check.verdict = PatchVerdict::CutShort;
      fallShort(path + u" holds a NUL or 0x1A byte before its end, so it would be left unpatched");
    } else if (patched.outcome == PatchOutcome::TextMissing) {
      check.verdict = PatchVerdict::TextMissing;
      if (alreadyNamed(check, *file.bytes)) {
        check.verdict = PatchVerdict::AlreadyNamed;
      } else {
        fallShort(quoted(platform::toWide(check.applied.back().substitution.searched)) +
                  u" is not in " + path +
                  (request.continueWhenTextMissing ? u", so it would be left unpatched"
                                                   : u", so the run would stop there"));
      }
      if (!request.continueWhenTextMissing) break;
    } else if (file.readOnly) {
      check.verdict = PatchVerdict::ReadOnly;
      fallShort(path + u" is read-only, so it would be left unpatched");
    } else {
      file.bytes = std::move(patched.bytes);
    }
  }

  for (const auto& [name, state] : files) {
    if (state.bytes && state.bytes != before[name]) {
      d.changes.push_back({name, before[name], *state.bytes});
    }
  }
  return finish(shortfall);
}

}  // namespace check
