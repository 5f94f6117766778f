// The findings as SARIF 2.1.0, for code-scanning services and their viewers.
#pragma once

#include <string>
#include <vector>

#include "check/finding.h"
#include "check/report.h"

namespace check {

// One run of the tool: every rule, and a result per finding with its place
// in the package folder.
std::string sarifReport(const ReportContext& context, const std::vector<Finding>& findings);

}  // namespace check
