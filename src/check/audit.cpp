#include "check/audit.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/codepage.h"

namespace check {

namespace {

// A value in quotes, its line breaks and tabs shown as \n, \r and \t.
std::u16string shown(const std::u16string& value) {
  std::u16string text = u"\"";
  for (const char16_t unit : value) {
    text += unit == u'\n'   ? u"\\n"
            : unit == u'\r' ? u"\\r"
            : unit == u'\t' ? u"\\t"
                            : std::u16string(1, unit);
  }
  return text + u"\"";
}

bool isBlank(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
}

// Blanks or line breaks at an end of the value, or a line break inside it.
bool untidy(const std::u16string& value) {
  return !value.empty() && (isBlank(value.front()) || isBlank(value.back()) ||
                            value.find_first_of(u"\r\n") != std::u16string::npos);
}

// A launcher name of the kind `cmdVariant` whose third field is `code`.
std::u16string launcherFor(const std::u16string& code, std::int32_t cmdVariant) {
  return u"TRKVpackage_all_" + code + (cmdVariant == 0 ? u"_x.exe" : u"_xl.exe");
}

// Why no launcher name can carry `code`; empty when one can.
std::u16string whyUncarried(const std::u16string& code) {
  if (!code.starts_with(u"TR")) return u"it does not begin with \"TR\"";
  if (code.find(u'_') != std::u16string::npos) return u"it holds a \"_\", which ends the field";
  const bool fileNameCharacters = std::none_of(code.begin(), code.end(), [](char16_t unit) {
    return unit < 0x20 || std::u16string_view(u"\"*/:<>?\\|").find(unit) != std::u16string::npos;
  });
  if (!fileNameCharacters) return u"it holds a character that file names cannot hold";
  return {};
}

// What sets a run's outcome apart, beyond the package's own values: runs
// with the same key differ only in the code, barPc and market they write.
std::u16string outcomeOf(const Diagnosis& d) {
  std::u16string key = number(d.cmdVariant) + u"|" + number(static_cast<long>(d.load.status)) +
                       u"|" + d.variantName + (d.variantExists ? u"|v" : u"|-") +
                       (d.liveExists ? u"l" : u"-") + (d.liveReadOnly ? u"r" : u"-");
  for (const PatchCheck& check : d.patches) {
    key += u"|" + check.request.setupPath + u":" + number(static_cast<long>(check.verdict)) + u":" +
           number(static_cast<long>(check.applied.size()));
  }
  return key;
}

// What is wrong with the variant the run copies, when that is why the run
// falls short; empty otherwise.
std::u16string preparedFileProblem(const Diagnosis& d) {
  if (d.variantName.empty()) return {};
  if (!d.variantExists) return u"is missing or unreadable";
  for (const PatchCheck& check : d.patches) {
    if (check.request.setupPath != d.liveName) continue;
    switch (check.verdict) {
      case PatchVerdict::TextMissing:
        return u"lacks " + quoted(platform::toWide(check.applied.back().substitution.searched)) +
               u", which the patches need";
      case PatchVerdict::CutShort:
        return u"holds a NUL or 0x1A byte before its end";
      case PatchVerdict::ReadOnly:
        return u"is read-only, so its copy is too and cannot be patched";
      default:
        break;
    }
  }
  return {};
}

// A reachable entry and its settings, as the loader reads them.
struct Package {
  std::u16string code;
  long line = 0;
  SettingsStatus status = SettingsStatus::Loaded;
  PackageSettings settings;
};

// The findings about the values of a reachable entry.
void checkValues(const EntryReader& read, const Package& p, std::vector<AuditFinding>& findings) {
  const auto find = [&](FindingKind kind, std::u16string text) {
    findings.push_back({kind, p.line, std::move(text), 0});
  };
  const std::u16string of = u" of " + quoted(p.code);
  const auto blanks = [&](const char16_t* name, const std::u16string& value) {
    find(FindingKind::BlankInValue, std::u16string(u"<") + name + u">" + of + u" is " +
                                        shown(value) +
                                        u": its blanks and line breaks are kept as written");
  };
  const auto type = read(u"package_type");
  const auto barPc = read(u"quil_bar_pc");
  const auto market = read(u"market_type");

  if (untidy(p.code)) {
    find(FindingKind::BlankInValue,
         u"the code " + shown(p.code) + u" has blanks that a launcher name must carry exactly");
  }
  if (type && (*type == u"o" || *type == u" O" || *type == u"O ")) {
    find(FindingKind::LooksLikeO, u"<package_type>" + of + u" is " + shown(*type) +
                                      u", not \"O\": the \"_e\" variants are used" +
                                      (barPc ? u" and <quil_bar_pc> is ignored" : u""));
  } else if (type && !type->empty()) {
    if (untidy(*type)) blanks(u"package_type", *type);
    if (*type != u"O" && barPc) {
      find(FindingKind::IgnoredBarPc, u"<quil_bar_pc>" + of +
                                          u" is ignored: its <package_type> is " + shown(*type) +
                                          u", not \"O\"");
    }
  }
  if (type == u"O" && barPc && untidy(*barPc)) blanks(u"quil_bar_pc", *barPc);
  if (market && untidy(*market)) blanks(u"market_type", *market);
}

}  // namespace

Audit auditPackages() {
  Audit audit;
  const platform::XmlDocument document = loadConfigDocument(audit.config);
  if (!document) return audit;

  std::vector<Package> packages;
  std::map<std::u16string, std::size_t> byCode;
  std::vector<AuditFinding>& findings = audit.findings;
  const auto entries = platform::selectNodes(document, u"/config/binary");
  if (entries.empty()) {
    findings.push_back({FindingKind::NoEntries, 0,
                        u"config.xml has no <binary> entry directly under <config>", 0});
  }
  for (const platform::XmlNode& entry : entries) {
    const long line = platform::nodeLine(entry);
    const auto code = platform::nodeAttribute(entry, u"code");
    const auto find = [&](FindingKind kind, std::u16string text) {
      findings.push_back({kind, line, std::move(text), 0});
    };
    if (!code) {
      find(FindingKind::MissingCode, u"a <binary> without a code: no run reads it");
      continue;
    }
    if (const std::u16string why = whyUncarried(*code); !why.empty()) {
      find(FindingKind::UncarriedCode, u"the code " + shown(*code) +
                                           u" cannot come from a launcher name (" + why +
                                           u"): no run reads the entry");
      continue;
    }
    if (const auto first = byCode.find(*code); first != byCode.end()) {
      const long firstLine = packages[first->second].line;
      find(FindingKind::DuplicateCode,
           u"a second entry with the code " + quoted(*code) + u": no run reads it, the first" +
               (firstLine != 0 ? u" (line " + number(firstLine) + u")" : u"") + u" wins");
      continue;
    }
    byCode.emplace(*code, packages.size());
    Package& p = packages.emplace_back();
    p.code = *code;
    p.line = line;
    // Each value read from the DOM once, for the settings and the findings.
    std::map<std::u16string, std::optional<std::u16string>> values;
    const EntryReader read = [&](const std::u16string& name) {
      auto value = values.find(name);
      if (value == values.end()) value = values.emplace(name, entryValue(entry, name)).first;
      return value->second;
    };
    p.status = readEntrySettings(read, p.settings);
    checkValues(read, p, findings);
  }

  // Entries elsewhere in the tree: below another element, or under a
  // document element of another name.
  const bool underConfig = platform::selectSingleNode(document, u"/config") != nullptr;
  bool linesKnown = std::all_of(findings.begin(), findings.end(),
                                [](const AuditFinding& f) { return f.line != 0; });
  for (const platform::XmlNode& stray :
       platform::selectNodes(document, underConfig ? u"/config/*//binary" : u"//binary")) {
    const auto code = platform::nodeAttribute(stray, u"code");
    const long line = platform::nodeLine(stray);
    linesKnown = linesKnown && line != 0;
    findings.push_back({FindingKind::NotUnderConfig, line,
                        (code ? u"<binary code=" + quoted(*code) + u">" : u"a <binary>") +
                            u" is not directly under the document element <config>: no run "
                            u"reads it",
                        0});
  }
  if (linesKnown) {
    std::stable_sort(findings.begin(), findings.end(),
                     [](const AuditFinding& a, const AuditFinding& b) { return a.line < b.line; });
  }

  // Both kinds of launcher for every reachable entry, through the diagnosis
  // of a single package, with settings from the entries read above and each
  // file of the folder read once.
  const SettingsLookup lookup = [&](PackageSettings& settings, const std::u16string& code) {
    SettingsLoad load;
    load.configPath = audit.config.configPath;
    const auto found = byCode.find(code);
    load.status = found == byCode.end() ? SettingsStatus::NoEntry : packages[found->second].status;
    if (found != byCode.end()) settings = packages[found->second].settings;
    return load;
  };
  FolderFiles files;
  std::set<std::u16string> outcomes;
  struct Problem {
    std::u16string variant;
    std::u16string text;
    std::size_t packages = 0;
  };
  std::vector<Problem> problems;
  for (const Package& p : packages) {
    bool complete = true;
    for (const std::int32_t kind : {0, 1}) {
      AuditRow& row = audit.rows.emplace_back();
      row.code = p.code;
      row.line = p.line;
      row.cmdVariant = kind;
      row.launcherName = launcherFor(p.code, kind);
      Diagnosis d = diagnosePackage(row.launcherName, true, lookup, files);
      row.complete = d.complete;
      row.cause = d.cause;
      complete = complete && d.complete;
      if (outcomes.insert(outcomeOf(d)).second) {
        row.firstOfOutcome = true;
        row.changes = std::move(d.changes);
      }
      if (const std::u16string text = preparedFileProblem(d); !text.empty()) {
        auto known = std::find_if(problems.begin(), problems.end(), [&](const Problem& q) {
          return q.variant == d.variantName && q.text == text;
        });
        if (known == problems.end()) known = problems.insert(problems.end(), {d.variantName, text});
        ++known->packages;
      }
    }
    if (complete) ++audit.completePackages;
  }
  for (const Problem& problem : problems) {
    findings.push_back(
        {FindingKind::PreparedFile, 0, problem.variant + u" " + problem.text, problem.packages});
  }
  audit.packages = packages.size();
  audit.clean = findings.empty() && audit.completePackages == audit.packages;
  return audit;
}

}  // namespace check
