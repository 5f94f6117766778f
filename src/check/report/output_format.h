// The check tool's output formats, in one table: each format's name, what
// --help says of it, how it reports the check of one package and the audit
// of every package of a folder, and how it prints the folders' reports.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check/package/audit.h"
#include "check/package/package_check.h"
#include "check/report/report.h"

namespace check {

struct OutputFormat {
  const char* name;
  const char* help;  // a few words for --help
  // Fill the report's text or document from the check, or from the audit;
  // the report's context is set.
  void (*package)(const PackageCheck& check, FolderReport& report);
  void (*audit)(const Audit& audit, FolderReport& report);
  // What is printed for the folders given, in their order.
  std::string (*printed)(const std::vector<FolderReport>& reports);
};

// Every format, the default first.
const std::vector<OutputFormat>& outputFormats();

// The format named `name`; null when there is none of that name.
const OutputFormat* findOutputFormat(std::u16string_view name);

}  // namespace check
