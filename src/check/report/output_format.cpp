#include "check/report/output_format.h"

#include <algorithm>

#include "check/report/json_report.h"
#include "check/report/line_report.h"
#include "check/report/sarif_report.h"
#include "check/report/text_report.h"

namespace check {

const std::vector<OutputFormat>& outputFormats() {
  static const std::vector<OutputFormat> formats = {
      {"text", "for people (the default)",
       [](const PackageCheck& check, FolderReport& r) { r.text = textReport(r.context, check); },
       [](const Audit& audit, FolderReport& r) { r.text = auditTextReport(r.context, audit); },
       joinedText},
      {"json", "one JSON document for scripts (docs/json.md)",
       [](const PackageCheck& check, FolderReport& r) {
         r.document = jsonReport(r.context, check);
       },
       [](const Audit& audit, FolderReport& r) { r.document = auditJsonReport(r.context, audit); },
       jsonFolders},
      {"gcc", "FILE:LINE:COLUMN: lines for editors",
       [](const PackageCheck& check, FolderReport& r) {
         r.text = gccReport(r.context, check.findings);
       },
       [](const Audit& audit, FolderReport& r) { r.text = gccReport(r.context, audit.findings); },
       joinedLines},
      {"sarif", "SARIF 2.1.0 for code-scanning services",
       [](const PackageCheck& check, FolderReport& r) {
         r.document = sarifRun(r.context, check.findings, check.suppressed);
       },
       [](const Audit& audit, FolderReport& r) {
         r.document = sarifRun(r.context, audit.findings, audit.suppressed);
       },
       sarifFolders},
      {"github", "GitHub Actions annotations",
       [](const PackageCheck& check, FolderReport& r) {
         r.text = githubReport(r.context, check.findings);
       },
       [](const Audit& audit, FolderReport& r) {
         r.text = githubReport(r.context, audit.findings);
       },
       githubLines},
  };
  return formats;
}

const OutputFormat* findOutputFormat(std::u16string_view name) {
  for (const OutputFormat& format : outputFormats()) {
    if (std::ranges::equal(name, std::string_view(format.name))) return &format;
  }
  return nullptr;
}

}  // namespace check
