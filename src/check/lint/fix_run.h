// --fix in a package folder: config.xml read for the fixes, and replaced whole
// with what they make of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/lint/finding.h"
#include "check/package/check_run.h"
#include "check/report/report.h"

namespace check {

// `bytes` of `file` with the edit fixes of the findings about it made, each
// whole or not at all: in the findings' order, a fix whose edits overlap
// those of a fix made before it, or reach past the end, is left out whole.
struct AppliedFixes {
  std::string bytes;
  std::vector<Finding> made;     // the findings whose fixes were made
  std::vector<Finding> skipped;  // those whose fixes were left out
};
AppliedFixes applyFixes(std::string_view bytes, const std::vector<Finding>& findings,
                        const std::u16string& file = kConfigFile);

struct FixOutcome {
  std::string error;                 // why nothing was written; empty when all went well
  std::string diff;                  // with dryRun: the change as a unified diff of config.xml
  std::vector<Finding> made;         // the findings mended, or with dryRun to be mended
  std::vector<Finding> skipped;      // those whose fixes overlap one made before them
  std::optional<std::string> after;  // config.xml's bytes as the fixes leave them
};

// Makes the fixes that the findings of a check of the current directory
// carry, planned on `before`, config.xml's bytes as the check read them
// (nullopt: it could not): config.xml replaced whole, unless nothing changes in it or it changed on
// disk since it was read, then the leftovers removed. With `dryRun` nothing
// is written: the diff shows what would be, in the file's own bytes, so that
// patch applies it, and a line "Only in FOLDER: NAME" each file that would be
// removed, or says that there is nothing to mend; its paths begin with
// `folder`, the folder as given on the command line (empty: "config.xml" and
// ".").
FixOutcome fixFindings(const std::vector<Finding>& findings,
                       const std::optional<std::string>& before, bool dryRun,
                       const std::u16string& folder);

// What --fix did, one line a finding: "fixed" or "removed" and the place,
// the rule and the fix, or "skipped" for one whose fix overlaps another;
// then "N fixed, M left", where `left` is how many findings the check after
// it has.
std::string fixSummary(const FixOutcome& outcome, const ReportContext& context, std::size_t left);

}  // namespace check
