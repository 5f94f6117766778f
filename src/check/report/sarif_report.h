// The findings as SARIF 2.1.0, for code-scanning services and their viewers.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "check/lint/finding.h"
#include "check/report/report.h"

namespace check {

// One run of the tool over one package folder: every rule, and a result per
// finding with its place in the folder, then one per finding a comment in
// config.xml suppressed, with an in-source suppression.
nlohmann::ordered_json sarifRun(const ReportContext& context, const std::vector<Finding>& findings,
                                const std::vector<Finding>& suppressed);

// What is printed for the folders given: one SARIF log with one run. With
// several folders, the results of each are placed in a base of its own
// ("PACKAGE1", "PACKAGE2", ... in their order), and a folder that could not
// be checked is a notification of an invocation that failed, saying why.
std::string sarifFolders(const std::vector<FolderReport>& reports);

}  // namespace check
