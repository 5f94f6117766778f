// --fix in a package folder: config.xml read for the fixes, and replaced whole
// with what they make of it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "check/lint/finding.h"

namespace check {

// Gives the findings of a check of the current directory their fixes, from
// config.xml as it is now (planFixes()). The bytes they were planned on;
// nullopt when config.xml cannot be read.
std::optional<std::string> attachFixes(std::vector<Finding>& findings);

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
