// The check tool's reports as JSON for scripts: one object of a fixed shape
// per report, the same keys on every path (null where a value is unknown).
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "check/package/audit.h"
#include "check/package/package_check.h"
#include "check/report/report.h"

namespace check {

inline constexpr int kJsonSchemaVersion = 1;

// One finding as a JSON object.
nlohmann::ordered_json findingJson(const Finding& finding);

// The check of one package.
nlohmann::ordered_json jsonReport(const ReportContext& context, const PackageCheck& check);

// The audit of every package.
nlohmann::ordered_json auditJsonReport(const ReportContext& context, const Audit& audit);

// What is printed for the folders given: a single folder's report as it is;
// for several, one document with an entry per folder, "mode": "folders".
std::string jsonFolders(const std::vector<FolderReport>& reports);

// A JSON value as text, indented; text that is not UTF-8 is replaced.
std::string dumped(const nlohmann::ordered_json& value);

}  // namespace check
