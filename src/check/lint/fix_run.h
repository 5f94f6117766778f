// --fix in a package folder: config.xml read for the fixes, and replaced whole
// with what they make of it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "check/lint/finding.h"

namespace check {

// The findings of a check of the current directory settled against
// config.xml as it is now: those its suppression comments keep out taken out
// (with `reportUnused`, an unused-suppression finding added for what keeps
// nothing out), and the others given their fixes (planFixes()).
struct Settled {
  std::optional<std::string> bytes;  // what they were planned on; nullopt: config.xml unreadable
  std::vector<Finding> suppressed;   // the findings kept out
};
Settled settleFindings(std::vector<Finding>& findings, bool reportUnused);

struct FixOutcome {
  std::string error;  // why nothing was written; empty when all went well
  std::string diff;   // with dryRun: the change as a unified diff of config.xml
};

// Makes the fixes of the findings of a check of the current directory:
// config.xml replaced whole, unless nothing changes in it or it changed on
// disk since it was read, then the leftovers removed. With `dryRun` nothing
// is written: the diff shows what would be, a line "Only in FOLDER: NAME"
// each file that would be removed; its paths begin with `folder`, the current
// directory as given on the command line (empty: "config.xml" and ".").
FixOutcome fixFindings(std::vector<Finding> findings, bool dryRun, const std::u16string& folder);

}  // namespace check
