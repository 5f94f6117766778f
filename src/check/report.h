// A diagnosis as text for people, or as JSON for scripts.
#pragma once

#include <string>

#include "check/audit.h"
#include "check/diagnosis.h"

namespace check {

// Step by step, ending in one "verdict:" line; with `withDiff` followed by the
// unified diff of every live file that would change.
std::string textReport(const Diagnosis& diagnosis, bool withDiff);

// One JSON object (ASCII, non-ASCII escaped); with `withDiff` each change
// carries its unified diff.
std::string jsonReport(const Diagnosis& diagnosis, bool withDiff);

// The unified diff of one live file that a run would change.
std::string changeDiff(const FileChange& change);

// A table with a row per package and kind of launcher, the findings and a
// summary line; with `withDiff` followed by the diffs of the first package
// of each distinct outcome.
std::string auditTextReport(const Audit& audit, bool withDiff);

// The same as one JSON object.
std::string auditJsonReport(const Audit& audit, bool withDiff);

}  // namespace check
