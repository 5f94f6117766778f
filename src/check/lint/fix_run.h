// --fix in a package folder: config.xml replaced whole with what the fixes
// make of the bytes the check read, and the leftovers removed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "check/lint/finding.h"

namespace check {

struct FixOutcome {
  std::string error;                 // why nothing was written; empty when all went well
  std::string diff;                  // with dryRun: the change as a unified diff of config.xml
  std::optional<std::string> after;  // config.xml's bytes as the fixes leave them
};

// Makes the fixes that the findings of a check of the current directory
// carry, planned on `before`, config.xml's bytes as the check read them
// (nullopt: it could not): config.xml replaced whole, unless nothing changes
// in it or it changed on disk since it was read, then the leftovers removed.
// With `dryRun` nothing is written: the diff shows what would be, a line
// "Only in FOLDER: NAME" each file that would be removed; its paths begin
// with `folder`, the current directory as given on the command line (empty:
// "config.xml" and ".").
FixOutcome fixFindings(const std::vector<Finding>& findings,
                       const std::optional<std::string>& before, bool dryRun,
                       const std::u16string& folder);

}  // namespace check
