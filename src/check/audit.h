// Every package of a folder's config.xml diagnosed at once, for both kinds of
// launcher, with what only a view of the whole file shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check/diagnosis.h"
#include "config/settings_load.h"

namespace check {

// One kind of launcher of one package.
struct AuditRow {
  std::u16string code;
  long line = 0;                // the entry's line in config.xml; 0 when unknown
  std::int32_t cmdVariant = 0;  // 0: the .cif kind (..._x.exe), 1: the .cmd kind (..._xl.exe)
  std::u16string launcherName;  // a launcher name of that kind carrying the code
  bool complete = false;
  std::u16string cause;  // the diagnosis's one-line cause when not complete
  // The first package of each distinct outcome keeps the changes its run
  // would make, for showing as diffs; the others keep none.
  bool firstOfOutcome = false;
  std::vector<FileChange> changes;
};

enum class FindingKind {
  NoEntries,       // no <binary> directly under <config>
  NotUnderConfig,  // a <binary> elsewhere in the tree: never read
  MissingCode,     // a <binary> without a code: never read
  UncarriedCode,   // a code that no launcher name can carry: never read
  DuplicateCode,   // a later entry with a code already seen: never read
  BlankInValue,    // blanks or line breaks at an end of a value, or a line break in it
  LooksLikeO,      // package_type "o", " O" or "O ": the "_e" variants
  IgnoredBarPc,    // quil_bar_pc on an entry whose type is not "O"
  PreparedFile,    // a variant file that fails every package using it
};

struct AuditFinding {
  FindingKind kind = FindingKind::NoEntries;
  long line = 0;             // the entry's line; 0 when unknown or not about an entry
  std::u16string text;       // what is wrong, in one line
  std::size_t packages = 0;  // PreparedFile: how many packages it breaks
};

struct Audit {
  SettingsLoad config;                 // a status other than Loaded: config.xml cannot be read
  std::vector<AuditRow> rows;          // per package in document order: .cif kind, .cmd kind
  std::vector<AuditFinding> findings;  // entries in document order, then the prepared files
  std::size_t packages = 0;            // the entries a launcher can reach
  std::size_t completePackages = 0;    // those complete for both kinds
  bool clean = false;                  // config.xml read, every package complete, no finding
};

// Audits every package of config.xml in the current directory, reading each
// file once and writing nothing. COM must be initialised on this thread.
Audit auditPackages();

}  // namespace check
