// Every package of a folder's config.xml checked at once, for both kinds of
// launcher, with what only a view of the whole file shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check/package/check_run.h"
#include "check/package/config_view.h"

namespace check {

// One kind of launcher of one package.
struct AuditRow {
  std::u16string code;
  Position position;                      // the entry's
  SetupKind cmdVariant = SetupKind::Cif;  // the kind of launcher (..._x.exe or ..._xl.exe)
  std::u16string launcherName;            // a launcher name of that kind carrying the code
  bool complete = false;
  std::u16string cause;  // the first finding of the run when not complete
  // The first package of each distinct outcome keeps the changes its run
  // makes, for showing as diffs; the others keep none.
  bool firstOfOutcome = false;
  std::vector<FileChange> changes;
};

struct Audit {
  SettingsLoad config;               // a status other than Loaded: config.xml cannot be read
  std::vector<AuditRow> rows;        // per package in document order: .cif kind, .cmd kind
  std::vector<Finding> findings;     // config.xml's in document order, then the other files'
  std::vector<Finding> suppressed;   // those a suppression comment keeps out, in that order
  std::size_t packages = 0;          // the entries a run reads
  std::size_t completePackages = 0;  // those complete for both kinds
};

// A launcher name of the kind `cmdVariant` whose package code is `code`.
std::u16string launcherFor(const std::u16string& code, SetupKind cmdVariant);

// Audits every package of `config`, config.xml of the current directory,
// reading each other file of the folder once and writing nothing. The
// findings that can be mended with certainty carry their fixes, planned on
// the view's bytes. COM must be initialised on this thread.
Audit auditPackages(const ConfigView& config);

// The whole-file audit (--all) of the package folder `folder` with `bytes`
// as its config.xml, whatever the disk holds (an editor's unsaved buffer);
// nullopt: the file on disk. Findings and fixes are placed in those bytes.
// A folder that cannot be entered gives an audit whose config status is
// NoCurrentDirectory. The current directory is the same afterwards. COM must
// be initialised on this thread. The language server checks an editor's
// buffer through this call: keep its shape.
Audit auditFolder(const std::u16string& folder, std::optional<std::string> bytes);

}  // namespace check
