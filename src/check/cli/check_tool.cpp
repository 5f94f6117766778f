#include "check/cli/check_tool.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "check/cli/options.h"
#include "check/lint/fix_run.h"
#include "check/lsp/language_server.h"
#include "check/package/package_folder.h"
#include "check/report/json_report.h"
#include "check/report/output_format.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/standard_io.h"
#include "platform/startup.h"

namespace check {

namespace {

namespace fs = std::filesystem;

// The folder that `arg` names: itself, or the folder of the config.xml it
// names, as hooks and editors pass a file; nullopt for the current directory.
std::optional<std::u16string> folderOf(const std::u16string& arg) {
  const fs::path path(arg);
  const std::u16string name = platform::asciiLowered(path.filename().u16string());
  std::error_code error;
  if (name != kConfigFile || fs::is_directory(path, error)) return arg;
  const std::u16string parent = path.parent_path().u16string();
  if (parent.empty()) return std::nullopt;
  return parent;
}

// What --fix did, ahead of the check after it: lines ahead of a report of
// lines, the "fixes" of a JSON document.
void reportFixes(const FixOutcome& fixed, std::size_t left, FolderReport& report) {
  if (report.document.is_object() && !report.document.contains("findings")) {
    // SARIF: the counts as the run's properties.
    report.document["properties"]["fixed"] = fixed.made.size();
    report.document["properties"]["left"] = left;
    return;
  }
  if (report.document.is_object()) {
    nlohmann::ordered_json fixes = nlohmann::ordered_json::array();
    const auto add = [&](const Finding& f, const char* outcome) {
      fixes.push_back({{"outcome", outcome}, {"finding", findingJson(f)}});
    };
    for (const Finding& f : fixed.made) add(f, removesFile(*f.fix) ? "removed" : "fixed");
    for (const Finding& f : fixed.skipped) add(f, "skipped");
    report.document["fixes"] = fixes;
    report.document["summary"]["fixed"] = fixed.made.size();
    report.document["summary"]["left"] = left;
    return;
  }
  report.text = fixSummary(fixed, report.context, left) + report.text;
}

int exitStatus(const std::vector<Finding>& findings, bool strict) {
  const bool fails = countErrors(findings) > 0 || (strict && !findings.empty());
  return fails ? kErrors : kNoErrors;
}

// Mends what the check of `config` finds in the current directory, into
// `fixed`; with --dry-run the diff goes into `report` and the folder's exit
// status is returned, as it is when the fixes cannot be made. Otherwise
// `config` becomes the mended file, which the check then reports on, and
// nullopt is returned.
std::optional<int> fixFolder(const Options& options, const std::optional<std::u16string>& folder,
                             ConfigView& config, FolderReport& report, std::string& err,
                             FixOutcome& fixed) {
  const std::vector<Finding> found = options.all ? auditPackages(config).findings
                                                 : checkPackage(config, options.launcher).findings;
  // The diffs and the leftovers name the folder as given.
  fixed = fixFindings(found, config.bytes, options.dryRun, folder.value_or(u""));
  if (!fixed.error.empty()) {
    report.error = fixed.error;
    err += "pkgcustomize-check: " + fixed.error + "\n";
    return kUsageError;
  }
  if (options.dryRun) {
    report.text = fixed.diff;
    return exitStatus(found, options.strict);
  }
  if (fixed.after && fixed.after != config.bytes) config = configViewOf(std::move(*fixed.after));
  return std::nullopt;
}

// Checks the folder `given` (nullopt: the current directory; "-": the one of
// --stdin-filename, with `input` as its config.xml) into `report` in
// `format`; returns the folder's exit status. The current directory is the
// same afterwards.
int checkFolder(const Options& options, const OutputFormat& format,
                std::optional<std::u16string> given, std::string_view input, FolderReport& report,
                std::string& err) {
  const DirectoryRestorer restorer;
  const bool fromInput = given == u"-";
  if (fromInput) given = options.stdinFilename;
  const std::optional<std::u16string> folder = given ? folderOf(*given) : std::nullopt;
  report.given = given;
  report.context = {{}, folder.value_or(u""), options.diff, options.onlyFailures};
  if (folder) {
    report.error = enterFolder(*folder);
    if (!report.error.empty()) {
      std::error_code ignored;
      report.context.folder = fs::absolute(fs::path(*folder), ignored).u16string();
      err += "pkgcustomize-check: " + report.error + "\n";
      return kUsageError;
    }
  }
  report.context.folder = platform::currentDirectory().value_or(u".");
  ConfigView config = fromInput ? configViewOf(std::string(input)) : readConfigView();
  std::optional<FixOutcome> fixed;
  if (options.fix) {
    const std::optional<int> status =
        fixFolder(options, folder, config, report, err, fixed.emplace());
    if (status) return *status;
  }
  std::vector<Finding> left;
  if (options.all) {
    const Audit audit = auditPackages(config);
    format.audit(audit, report);
    left = audit.findings;
  } else {
    const PackageCheck check = checkPackage(config, options.launcher);
    format.package(check, report);
    left = check.findings;
  }
  if (fixed) reportFixes(*fixed, left.size(), report);
  return exitStatus(left, options.strict);
}

}  // namespace

int runCheckTool(const std::vector<std::u16string>& args, std::string& out, std::string& err,
                 std::string_view input) {
  const ParsedOptions parsed = parseOptions(args);
  const Options& options = parsed.options;
  if (!parsed.error.empty()) {
    err += "pkgcustomize-check: " + parsed.error + "\n" + kUsage;
    return kUsageError;
  }
  if (options.help) {
    out += std::string(kUsage) + "\n" + helpText();
    return kNoErrors;
  }
  if (options.version) {
    out += "pkgcustomize-check " PKGCUSTOMIZE_VERSION "\n";
    return kNoErrors;
  }
  const OutputFormat& format = *findOutputFormat(platform::fromUtf8(options.format));
  std::vector<FolderReport> reports;
  int status = kNoErrors;
  if (options.folders.empty()) {
    status = checkFolder(options, format, std::nullopt, input, reports.emplace_back(), err);
  }
  for (const std::u16string& given : options.folders) {
    status =
        std::max(status, checkFolder(options, format, given, input, reports.emplace_back(), err));
  }
  // A single folder that cannot be checked has no report, as a usage error has none.
  if (reports.size() == 1 && !reports.front().error.empty()) return status;
  if (options.fix && options.dryRun) {
    // The diffs alone, whatever the format: what --fix would write.
    for (const FolderReport& report : reports) out += report.text;
    return status;
  }
  out += format.printed(reports);
  return status;
}

int checkToolMain(const std::vector<std::u16string>& args) {
  platform::hardenProcess();
  platform::initializeCom();
  const ParsedOptions parsed = parseOptions(args);
  if (parsed.error.empty() && parsed.options.lsp && !parsed.options.help) {
    return lsp::runLanguageServer();
  }
  // A valid command line names --stdin-filename exactly when "-" is a folder.
  const std::string input = parsed.error.empty() && parsed.options.stdinFilename
                                ? platform::readStandardInputToEnd()
                                : std::string();
  std::string out;
  std::string err;
  const int status = runCheckTool(args, out, err, input);
  platform::writeStandardOutput(out);
  platform::writeStandardError(err);
  return status;
}

}  // namespace check
