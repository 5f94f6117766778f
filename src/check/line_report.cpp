#include "check/line_report.h"

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

// A fix, as compilers give a fix-it hint: a note at the place of its first
// edit, after the finding's line.
std::string fixItNote(const ReportContext& context, const Finding& f) {
  if (!f.fix) return {};
  Finding at = f;
  at.position = f.fix->edits.empty() ? Position{} : f.fix->edits.front().start;
  return location(context, at) + ": note: fix-it: " + utf8(f.fix->description) + "\n";
}

}  // namespace

std::string gccReport(const ReportContext& context, const std::vector<Finding>& findings) {
  std::string out;
  for (const Finding& f : findings) {
    out += location(context, f) + ": " + severityName(severityOf(f)) + ": " + utf8(f.message) +
           " [" + rule(f.rule).name + "]\n";
    out += fixItNote(context, f);
  }
  return out;
}

std::string githubReport(const ReportContext& context, const std::vector<Finding>& findings) {
  std::string out;
  for (const Finding& f : findings) {
    std::string properties;
    if (!f.file.empty()) properties += "file=" + escaped(shownFile(context, f.file), true) + ",";
    if (f.position.line > 0) properties += "line=" + std::to_string(f.position.line) + ",";
    if (f.position.column > 0) properties += "col=" + std::to_string(f.position.column) + ",";
    out += std::string("::") + severityName(severityOf(f)) + " " + properties +
           "title=" + rule(f.rule).name + "::" + escaped(utf8(f.message), false) + "\n";
  }
  return out;
}

}  // namespace check
