// The check of one package: a run started by one launcher, with what
// config.xml shows about the package's entry.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "check/package/check_run.h"

namespace check {

struct PackageCheck {
  std::optional<std::u16string> launcherGiven;  // named on the command line, as given
  CheckedRun run;
  Position entry;  // where config.xml holds the package's entry; unknown when it has none
  std::vector<Finding> findings;    // the run's, then config.xml's about the entry and the file
  std::vector<Finding> suppressed;  // those a suppression comment keeps out, in that order
};

// Checks the package in the current directory, whose config.xml `config`
// holds, as a run started by the launcher file `launcher` would customise
// it, or when none is given, a run started where this process was; when no
// launcher is above this process either, the file and every entry. The
// findings that can be mended with certainty carry their fixes.
PackageCheck checkPackage(const ConfigView& config, const std::optional<std::u16string>& launcher);

}  // namespace check
