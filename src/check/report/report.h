// What every report of the check tool shares: where it is about, the text
// conversions, and the counts of findings.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "check/lint/finding.h"
#include "check/package/check_run.h"

namespace check {

struct ReportContext {
  std::u16string folder;       // the package folder, absolute
  std::u16string folderShown;  // as given on the command line; empty for the current directory
  bool withDiff = false;
  bool onlyFailures = false;
};

// One folder of the command line as a format reports it: a format of lines
// gives text, a format of one document a JSON value, and the format then
// puts the folders' reports together into what is printed.
struct FolderReport {
  std::optional<std::u16string> given;  // as given on the command line; nullopt: none was
  ReportContext context;
  std::string error;                // why the folder cannot be checked; empty when it was
  std::string text;                 // text, gcc, github
  nlohmann::ordered_json document;  // json: the report; sarif: the run
};

// Wide text as UTF-8, the encoding of every report.
std::string utf8(const std::u16string& text);

// Narrow text of the system's code page (a setup file's lines) as UTF-8.
std::string utf8FromNarrow(const std::string& text);

// The file a finding is about, as a path from where the tool was started.
std::string shownFile(const ReportContext& context, const std::u16string& file);

// The file URI of `path`, its bytes beyond the unreserved ones in UTF-8
// and percent-encoded, as SARIF and the Language Server Protocol name files.
std::string fileUri(const std::u16string& path);

// The package folder as given, or "." for the current directory.
std::string shownFolder(const ReportContext& context);

// "FILE:LINE:COLUMN", or as much of it as is known.
std::string location(const ReportContext& context, const Finding& finding);

// The unified diff of one live file that a run would change, as UTF-8.
std::string changeDiff(const FileChange& change);

// How many findings of each rule, by rule name.
std::map<std::string, std::size_t> countByRule(const std::vector<Finding>& findings);

// "N errors, M warnings", with the count of each rule when there are any, and
// how many findings suppression comments kept out when any did.
std::string findingSummary(const std::vector<Finding>& findings, std::size_t suppressed = 0);

}  // namespace check
