// Findings one to a line, for editors, linters' problem matchers and CI.
#pragma once

#include <string>
#include <vector>

#include "check/finding.h"
#include "check/report.h"

namespace check {

// "FILE:LINE:COLUMN: SEVERITY: MESSAGE [RULE]", as compilers print them.
std::string gccReport(const ReportContext& context, const std::vector<Finding>& findings);

// GitHub Actions workflow commands: "::error file=F,line=L,col=C,title=RULE::MESSAGE".
std::string githubReport(const ReportContext& context, const std::vector<Finding>& findings);

}  // namespace check
