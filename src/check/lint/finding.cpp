#include "check/lint/finding.h"

#include <algorithm>
#include <string>

namespace check {

namespace {

constexpr Severity E = Severity::Error;
constexpr Severity W = Severity::Warning;

const std::vector<Rule> kRules = {
    {RuleId::NoLauncher, "no-launcher", E, "No launcher above the run",
     "No process above the run has a file name that begins with \"TRKV\", so the run finds no "
     "package code and changes nothing.",
     "Start the tool from the package's launcher, or name it with --launcher when checking."},
    {RuleId::NoPackageCode, "no-package-code", E, "The launcher's name holds no package code",
     "The third \"_\"-separated field of the launcher's file name must begin with \"TR\"; "
     "otherwise the run finds no package code and changes nothing.",
     "Rename the launcher so that its third field is the package code, as in "
     "TRKVpack_v2_TR0107_x.exe."},
    {RuleId::NoConfig, "no-config", E, "No config.xml in the package folder",
     "The run reads the package's settings from config.xml in the package folder; without it "
     "nothing is customised.",
     "Put config.xml into the package folder."},
    {RuleId::ConfigUnreadable, "config-unreadable", E, "config.xml cannot be read or parsed",
     "config.xml is not well-formed XML, uses an encoding the system does not know, or cannot "
     "be read; the run then customises nothing.",
     "Fix the XML at the position given; save the file in the encoding its declaration names."},
    {RuleId::WrongDocumentElement, "wrong-document-element", E,
     "The document element is not <config>",
     "Entries are read only from <binary> elements directly under a document element named "
     "<config>.",
     "Name the document element <config>."},
    {RuleId::NoEntry, "no-entry", E, "No entry for the package code",
     "config.xml has no <binary> element directly under <config> whose code attribute is the "
     "package code, in exactly that case; the run changes nothing.",
     "Add an entry for the code, or correct the code of the entry meant for it."},
    {RuleId::UnusedEntry, "unused-entry", E, "An entry that no run reads",
     "An element under <config> that is meant as an entry is never read: a misspelt <binary>, "
     "a <binary> without a code, one that is not directly under <config>, or one whose code no "
     "launcher's name can carry.",
     "Spell it <binary code=\"...\"> directly under <config>, with a code that begins with "
     "\"TR\" and holds no \"_\"."},
    {RuleId::MissingValue, "missing-value", E, "An entry lacks a value the run needs",
     "Every entry needs <package_type> and <market_type>, and <quil_bar_pc> when its type is "
     "\"O\"; the first one missing ends the run before anything is copied.",
     "Add the element to the entry."},
    {RuleId::EmptyValue, "empty-value", E, "A value the run needs is empty",
     "An empty <package_type>, <market_type>, or <quil_bar_pc> of an \"O\" entry ends the run "
     "before anything is copied.",
     "Give the element its value."},
    {RuleId::MissingVariant, "missing-variant", E, "A prepared setup file is missing",
     "The prepared variant the run copies over the live setup file is missing, not a regular "
     "file or unreadable, so nothing is copied or patched.",
     "Put the prepared file (kvsetup_o.cif, kvsetup_e.cif, kv-setup_o.cmd or kv-setup_e.cmd) "
     "into the package folder."},
    {RuleId::ReadOnlyFile, "read-only-file", E, "A live setup file cannot be replaced",
     "A live setup file is read-only or not a regular file, so the run can neither copy over it "
     "nor patch it.",
     "Clear the read-only mark of the live file."},
    {RuleId::MissingText, "missing-text", E, "A setup file lacks a text its patch replaces",
     "The patch replaces the first \"INSTALL.INF\" of kvsetup.cif and, for \"O\" packages, the "
     "first \"B8DF\" and \"en-us\" of the copied file; a text that is not there leaves the file "
     "unpatched.",
     "Restore the text in the prepared file named, exactly as shown, in that case."},
    {RuleId::CutShort, "cut-short", E, "A setup file holds a NUL or 0x1A byte",
     "Text after a NUL or 0x1A byte would be lost in the rewrite, so the file is left unpatched.",
     "Remove the NUL or 0x1A byte, or what follows it, from the prepared file."},
    {RuleId::NoLiveCif, "no-live-cif", E, "kvsetup.cif is missing for a .cmd run",
     "A .cmd run still writes the package's INF name into kvsetup.cif, which it does not copy; "
     "without it the INF name is not written.",
     "Put kvsetup.cif into the package folder."},
    {RuleId::RunError, "run-error", E, "The run ends with an error",
     "An error ends the run, for instance a value that cannot be converted to the system's code "
     "page.",
     "Read the message; change the value or file it names."},
    {RuleId::DuplicateEntry, "duplicate-entry", W, "A second entry for a code",
     "Only the first entry with a code is read; later ones are ignored.",
     "Remove the later entry, or merge its values into the first."},
    {RuleId::UnknownElement, "unknown-element", W, "An element that no run reads",
     "The element is neither an entry nor one of the values an entry holds, so it is ignored; "
     "it may be a misspelling.",
     "Correct its name, or remove it."},
    {RuleId::RepeatedValue, "repeated-value", W, "A value given twice in an entry",
     "Only the first element of a name in an entry is read; later ones are ignored.",
     "Keep one element of each name."},
    {RuleId::WrappedValue, "wrapped-value", W, "A value holds line breaks",
     "Values are taken exactly as written: line breaks inside a value, often left by an editor "
     "that wrapped it, go into the setup file as they are.",
     "Put the value and its tags on one line."},
    {RuleId::BlankInValue, "blank-in-value", W, "A value begins or ends with blanks",
     "Values are taken exactly as written, blanks included.",
     "Remove the blanks around the value."},
    {RuleId::LooksLikeO, "looks-like-o", W, "A package type that looks like \"O\" but is not",
     "Only a <package_type> of exactly \"O\" chooses the \"_o\" variants; \"o\", \" O\" or "
     "\"O \" choose the \"_e\" variants.",
     "Write exactly O, or the type that is meant."},
    {RuleId::IgnoredBarPc, "ignored-bar-pc", W, "<quil_bar_pc> in an entry whose type is not \"O\"",
     "<quil_bar_pc> is read only for \"O\" packages; here it is ignored.",
     "Remove it, or make the type \"O\" if that is meant."},
    {RuleId::InvisibleCharacter, "invisible-character", W,
     "An invisible or unusual blank in a value or code",
     "A no-break space, zero-width space, byte-order mark or similar character is part of the "
     "value as written, though no one sees it.",
     "Retype the value."},
    {RuleId::BlankInCode, "blank-in-code", W, "A code holds blanks",
     "A launcher's name must carry the code exactly, blanks included.",
     "Remove the blanks from the code."},
    {RuleId::EncodingMismatch, "encoding-mismatch", W,
     "config.xml looks saved in another encoding than it declares",
     "The bytes look like windows-1252 text read as UTF-8, or UTF-8 text read as windows-1252: "
     "non-ASCII values come out wrong or the file does not load.",
     "Save the file in the encoding its declaration names (UTF-8 unless it says otherwise)."},
    {RuleId::UnusualEncoding, "unusual-encoding", W, "config.xml declares an unusual encoding",
     "Only UTF-8, UTF-16, ISO-8859-1 and windows-1252 are read alike everywhere.",
     "Save the file as UTF-8 and declare encoding=\"UTF-8\"."},
    {RuleId::LeftoverFile, "leftover-file", W, "A leftover of an interrupted run",
     "An interrupted run left its temporary file behind; it would ship with the package. The "
     "next complete run removes it.",
     "Delete the file, or let a complete run remove it."},
    {RuleId::UnusedSuppression, "unused-suppression", W, "A suppression that keeps nothing out",
     "A comment <!-- pkgcustomize-check: ignore RULE --> names a rule of which no finding is "
     "about the element after it (or, before the document element, about the file): the "
     "mistake it was written for is gone, or the rule's name is misspelt.",
     "Remove the rule from the comment, or the comment."},
    {RuleId::LineBreakInScript, "line-break-in-script", E,
     "A value written into the .cmd script holds a line break",
     "A run of a .cmd launcher writes barPc and market into kv-setup.cmd as written. A line "
     "break in the value ends the set command there, and cmd.exe runs the rest of the value as "
     "a command of its own.",
     "Write the value on one line, without blanks around it."},
    {RuleId::ScriptCodePage, "script-code-page", W,
     "A value written into the .cmd script holds a letter beyond ASCII",
     "A run writes kv-setup.cmd in the ANSI code page, and cmd.exe reads a batch file in the "
     "console's OEM code page: a letter beyond ASCII, such as \"\u00e9\", arrives as another "
     "letter.",
     "Write the value in ASCII letters only."},
};

}  // namespace

const std::vector<Rule>& allRules() {
  return kRules;
}

const Rule& rule(RuleId id) {
  return kRules[static_cast<std::size_t>(id)];
}

Finding makeFinding(RuleId rule, std::u16string file, std::u16string message, std::u16string code) {
  Finding f;
  f.rule = rule;
  f.file = std::move(file);
  f.message = std::move(message);
  f.code = std::move(code);
  return f;
}

Severity severityOf(const Finding& finding) {
  return rule(finding.rule).severity;
}

const char* severityName(Severity severity) {
  return severity == Severity::Error ? "error" : "warning";
}

std::size_t countErrors(const std::vector<Finding>& findings) {
  return static_cast<std::size_t>(
      std::count_if(findings.begin(), findings.end(),
                    [](const Finding& f) { return severityOf(f) == Severity::Error; }));
}

std::size_t countWarnings(const std::vector<Finding>& findings) {
  return findings.size() - countErrors(findings);
}

bool isInvisibleCharacter(char16_t unit) {
  return unit == 0x00A0 || unit == 0x00AD || unit == 0x1680 || unit == 0x180E ||
         (unit >= 0x2000 && unit <= 0x200F) || unit == 0x2028 || unit == 0x2029 || unit == 0x202F ||
         unit == 0x205F || unit == 0x2060 || unit == 0x3000 || unit == 0xFEFF;
}

std::u16string quoted(const std::u16string& text) {
  std::u16string out = u"\"";
  for (const char16_t unit : text) {
    if (unit == u'\n') {
      out += u"\\n";
    } else if (unit == u'\r') {
      out += u"\\r";
    } else if (unit == u'\t') {
      out += u"\\t";
    } else if (isInvisibleCharacter(unit)) {
      const char16_t* const hex = u"0123456789ABCDEF";
      out += u"\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += hex[(unit >> shift) & 15];
    } else {
      out += unit;
    }
  }
  return out + u"\"";
}

std::u16string number(long value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

const FileEdits& editsOf(const Fix& fix) {
  static const FileEdits none;
  const FileEdits* edits = std::get_if<FileEdits>(&fix.change);
  return edits != nullptr ? *edits : none;
}

bool removesFile(const Fix& fix) {
  return std::holds_alternative<FileRemoval>(fix.change);
}

}  // namespace check
