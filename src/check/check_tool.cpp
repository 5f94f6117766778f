#include "check/check_tool.h"

#include <filesystem>
#include <optional>

#include "check/audit.h"
#include "check/fix_run.h"
#include "check/json_report.h"
#include "check/line_report.h"
#include "check/options.h"
#include "check/package_check.h"
#include "check/sarif_report.h"
#include "check/text_report.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/startup.h"

namespace check {

namespace {

namespace fs = std::filesystem;

// Puts the current directory back at the end of the scope.
class DirectoryRestorer {
 public:
  DirectoryRestorer() : saved_(platform::currentDirectory()) {}
  DirectoryRestorer(const DirectoryRestorer&) = delete;
  DirectoryRestorer& operator=(const DirectoryRestorer&) = delete;
  ~DirectoryRestorer() {
    if (saved_) platform::changeDirectory(*saved_);
  }

 private:
  std::optional<std::u16string> saved_;
};

// Makes `folder` the current directory; why it cannot, or empty.
std::string enterFolder(const std::u16string& folder) {
  const fs::path path(folder);
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  const std::string name = "the folder " + utf8(folder);
  if (status.type() == fs::file_type::not_found) return name + " does not exist";
  if (!error && !fs::is_directory(status)) return utf8(folder) + " is not a folder";
  if (error || !platform::changeDirectory(folder)) return name + " cannot be entered";
  fs::directory_iterator(".", error);
  if (error) return name + " cannot be read: no permission";
  return {};
}

int exitStatus(const std::vector<Finding>& findings, bool strict) {
  const bool fails = countErrors(findings) > 0 || (strict && !findings.empty());
  return fails ? kErrors : kNoErrors;
}

std::string findingsReport(Format format, const ReportContext& context,
                           const std::vector<Finding>& findings) {
  switch (format) {
    case Format::Gcc:
      return gccReport(context, findings);
    case Format::Github:
      return githubReport(context, findings);
    default:
      return sarifReport(context, findings);
  }
}

int checkOnePackage(const Options& options, const ReportContext& context, std::string& out) {
  PackageCheck check = checkPackage(options.launcher);
  attachFixes(check.findings);
  switch (options.format) {
    case Format::Text:
      out += textReport(context, check);
      break;
    case Format::Json:
      out += jsonReport(context, check);
      break;
    default:
      out += findingsReport(options.format, context, check.findings);
  }
  return exitStatus(check.findings, options.strict);
}

int checkAllPackages(const Options& options, const ReportContext& context, std::string& out) {
  Audit audit = auditPackages();
  attachFixes(audit.findings);
  switch (options.format) {
    case Format::Text:
      out += auditTextReport(context, audit);
      break;
    case Format::Json:
      out += auditJsonReport(context, audit);
      break;
    default:
      out += findingsReport(options.format, context, audit.findings);
  }
  return exitStatus(audit.findings, options.strict);
}

}  // namespace

int runCheckTool(const std::vector<std::u16string>& args, std::string& out, std::string& err) {
  const ParsedOptions parsed = parseOptions(args);
  const Options& options = parsed.options;
  if (!parsed.error.empty()) {
    err += "pkgcustomize-check: " + parsed.error + "\n" + kUsage;
    return kUsageError;
  }
  if (options.help) {
    out += std::string(kUsage) + "\n" + kHelp;
    return kNoErrors;
  }
  if (options.version) {
    out += "pkgcustomize-check " PKGCUSTOMIZE_VERSION "\n";
    return kNoErrors;
  }
  const DirectoryRestorer restorer;
  if (options.folder) {
    if (const std::string why = enterFolder(*options.folder); !why.empty()) {
      err += "pkgcustomize-check: " + why + "\n";
      return kUsageError;
    }
  }
  const ReportContext context{platform::currentDirectory().value_or(u"."),
                              options.folder.value_or(u""), options.diff, options.onlyFailures};
  if (options.fix) {
    const std::vector<Finding> findings =
        options.all ? auditPackages().findings : checkPackage(options.launcher).findings;
    const FixOutcome fixed = fixFindings(findings, options.dryRun);
    if (!fixed.error.empty()) {
      err += "pkgcustomize-check: " + fixed.error + "\n";
      return kUsageError;
    }
    if (options.dryRun) {
      out += fixed.diff;
      return exitStatus(findings, options.strict);
    }
  }
  return options.all ? checkAllPackages(options, context, out)
                     : checkOnePackage(options, context, out);
}

int checkToolMain(const std::vector<std::u16string>& args) {
  platform::hardenProcess();
  platform::initializeCom();
  std::string out;
  std::string err;
  const int status = runCheckTool(args, out, err);
  platform::writeStandardOutput(out);
  platform::writeStandardError(err);
  return status;
}

}  // namespace check
