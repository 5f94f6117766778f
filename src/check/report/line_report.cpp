#include "check/report/line_report.h"

#include <algorithm>
#include <string_view>

namespace check {

namespace {

// Escapes what a workflow command's data (and, with `property`, a property
// value) must not hold as it is.
std::string escaped(const std::string& text, bool property) {
  std::string out;
  for (const char c : text) {
    if (c == '%') {
      out += "%25";
    } else if (c == '\r') {
      out += "%0D";
    } else if (c == '\n') {
      out += "%0A";
    } else if (property && c == ':') {
      out += "%3A";
    } else if (property && c == ',') {
      out += "%2C";
    } else {
      out += c;
    }
  }
  return out;
}

// The finding where an editor can show it: at line 1, column 1 when it is
// about a file, or the package folder, as a whole.
Finding placed(Finding finding) {
  if (finding.position.line <= 0) finding.position = {1, 1};
  return finding;
}

}  // namespace

std::string gccLine(const std::string& where, const Finding& finding) {
  return where + ": " + severityName(severityOf(finding)) + ": " + utf8(finding.message) + " [" +
         rule(finding.rule).name + "]\n";
}

std::string fixItNote(const ReportContext& context, const Finding& finding) {
  if (!finding.fix) return {};
  Finding at = finding;
  const FileEdits& edits = editsOf(*finding.fix);
  at.position = edits.empty() ? Position{1, 1} : edits.front().start;
  return location(context, at) + ": note: fix-it: " + utf8(finding.fix->description) + "\n";
}

std::string gccReport(const ReportContext& context, const std::vector<Finding>& findings) {
  std::string out;
  for (const Finding& f : findings) {
    const Finding at = placed(f);
    std::string where = location(context, at);
    if (f.file.empty()) where += ":1:1";
    out += gccLine(where, at) + fixItNote(context, f);
  }
  return out;
}

std::string githubReport(const ReportContext& context, const std::vector<Finding>& findings) {
  std::string out;
  for (const Finding& found : findings) {
    const Finding f = found.file.empty() ? found : placed(found);
    std::string properties;
    if (!f.file.empty()) properties += "file=" + escaped(shownFile(context, f.file), true) + ",";
    if (f.position.line > 0) properties += "line=" + std::to_string(f.position.line) + ",";
    if (f.position.column > 0) properties += "col=" + std::to_string(f.position.column) + ",";
    out += std::string("::") + severityName(severityOf(f)) + " " + properties +
           "title=" + rule(f.rule).name + "::" + escaped(utf8(f.message), false) + "\n";
  }
  return out;
}

std::string joinedLines(const std::vector<FolderReport>& reports) {
  std::string out;
  for (const FolderReport& report : reports) out += report.text;
  return out;
}

std::string githubLines(const std::vector<FolderReport>& reports) {
  std::string out = joinedLines(reports);
  std::size_t errors = 0;
  std::size_t warnings = 0;
  std::size_t line = 0;
  while (line < out.size()) {
    const std::string_view command = std::string_view(out).substr(line);
    errors += command.starts_with("::error ");
    warnings += command.starts_with("::warning ");
    line = std::min(out.find('\n', line), out.size()) + 1;
  }
  if (errors > kGithubShown || warnings > kGithubShown) {
    out += "::notice title=pkgcustomize-check::" + std::to_string(errors) + " errors and " +
           std::to_string(warnings) + " warnings annotated, of which GitHub shows " +
           std::to_string(kGithubShown) + " of each kind for a step: see every finding with " +
           "--format sarif, uploaded to code scanning\n";
  }
  return out;
}

}  // namespace check
