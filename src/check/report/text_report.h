// The check tool's reports as text for people.
#pragma once

#include <string>

#include "check/package/audit.h"
#include "check/package/package_check.h"
#include "check/report/report.h"

namespace check {

// Step by step what the run does, its findings and one "verdict" line; with
// the context's withDiff followed by the unified diff of every live file that
// would change.
std::string textReport(const ReportContext& context, const PackageCheck& check);

// A row per package and kind of launcher, the findings and a summary line;
// with withDiff followed by the diffs of the first package of each outcome.
std::string auditTextReport(const ReportContext& context, const Audit& audit);

// The reports of several folders, each after a line that names its folder;
// a single folder's report as it is. Folders that could not be checked are
// left out: the error output names them.
std::string joinedText(const std::vector<FolderReport>& reports);

}  // namespace check
