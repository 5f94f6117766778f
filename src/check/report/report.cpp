#include "check/report/report.h"

#include <cctype>
#include <filesystem>
#include <string_view>

#include "check/report/unified_diff.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace check {

namespace {

std::string plural(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

std::string utf8(const std::u16string& text) {
  return platform::toUtf8(text);
}

std::string utf8FromNarrow(const std::string& text) {
  return utf8(platform::toWide(text));
}

std::string shownFile(const ReportContext& context, const std::u16string& file) {
  if (context.folderShown.empty()) return utf8(file);
  std::u16string path = context.folderShown;
  if (path.back() != u'/' && path.back() != platform::kPathSeparator) {
    path += platform::kPathSeparator;
  }
  return utf8(path + file);
}

std::string fileUri(const std::u16string& path) {
  std::string generic = platform::toUtf8(std::filesystem::path(path).generic_u16string());
  std::string uri = "file://";
  if (!generic.starts_with("/")) uri += "/";
  static const char hex[] = "0123456789ABCDEF";
  for (const char c : generic) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (std::isalnum(b) || std::string_view("-._~/:").find(c) != std::string_view::npos) {
      uri += c;
    } else {
      uri += '%';
      uri += hex[b >> 4];
      uri += hex[b & 15];
    }
  }
  return uri;
}

std::string shownFolder(const ReportContext& context) {
  return context.folderShown.empty() ? "." : utf8(context.folderShown);
}

std::string location(const ReportContext& context, const Finding& finding) {
  if (finding.file.empty()) return shownFolder(context);
  std::string text = shownFile(context, finding.file);
  if (finding.position.line > 0) {
    text += ":" + std::to_string(finding.position.line);
    if (finding.position.column > 0) text += ":" + std::to_string(finding.position.column);
  }
  return text;
}

std::string changeDiff(const FileChange& change) {
  return utf8FromNarrow(unifiedDiff(change.before.value_or(""), change.after,
                                    platform::toNarrow(change.name), change.before.has_value()));
}

std::map<std::string, std::size_t> countByRule(const std::vector<Finding>& findings) {
  std::map<std::string, std::size_t> counts;
  for (const Finding& f : findings) ++counts[rule(f.rule).name];
  return counts;
}

std::string findingSummary(const std::vector<Finding>& findings, std::size_t suppressed) {
  std::string text =
      plural(countErrors(findings), "error") + ", " + plural(countWarnings(findings), "warning");
  std::string byRule;
  for (const auto& [name, count] : countByRule(findings)) {
    byRule += (byRule.empty() ? "" : ", ") + name + " " + std::to_string(count);
  }
  if (!byRule.empty()) text += " (" + byRule + ")";
  return suppressed == 0 ? text : text + "; " + std::to_string(suppressed) + " suppressed";
}

}  // namespace check
