// Findings one to a line, for editors, linters' problem matchers and CI.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "check/lint/finding.h"
#include "check/report/report.h"

namespace check {

// "FILE:LINE:COLUMN: SEVERITY: MESSAGE [RULE]", as compilers print them. A
// finding about a file as a whole stands at its line 1, column 1, and one
// about no file at the package folder's, since editors' problem matchers
// skip a line without a line number.
std::string gccReport(const ReportContext& context, const std::vector<Finding>& findings);

// One finding as a gcc line at `where`, a place as location() gives it.
std::string gccLine(const std::string& where, const Finding& finding);

// A finding's fix, as compilers give a fix-it hint: a note line at the place
// of its first edit; empty when it has none.
std::string fixItNote(const ReportContext& context, const Finding& finding);

// GitHub Actions workflow commands: "::error file=F,line=L,col=C,title=RULE::MESSAGE",
// a finding about a file as a whole at line 1, column 1.
std::string githubReport(const ReportContext& context, const std::vector<Finding>& findings);

// How many error annotations, and how many warning ones, GitHub shows for a
// step; it drops the rest.
inline constexpr std::size_t kGithubShown = 10;

// The github reports of the folders one after the other, and once at the end,
// when GitHub would drop some of them, a notice that says so and points to
// SARIF.
std::string githubLines(const std::vector<FolderReport>& reports);

// The reports of several folders in a format of lines, one after the other;
// those of the folders that could not be checked are empty.
std::string joinedLines(const std::vector<FolderReport>& reports);

}  // namespace check
