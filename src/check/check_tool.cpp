#include "check/check_tool.h"

#include <iostream>
#include <optional>

#include "app/launcher.h"
#include "check/audit.h"
#include "check/diagnosis.h"
#include "check/report.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/startup.h"

namespace check {

namespace {

const char kUsage[] =
    "usage: pkgcustomize-check [--launcher NAME] [--diff] [--json] [FOLDER]\n"
    "       pkgcustomize-check --all [--diff] [--json] [FOLDER]\n";

const char kHelp[] =
    "Shows, step by step, what pkgcustomize would do in a package folder and\n"
    "why it would not customise the package completely. Writes no file.\n"
    "\n"
    "  FOLDER           the package folder (default: the current directory)\n"
    "  --launcher NAME  the launcher's file name, e.g. TRKVpack_v2_TR0107_x.exe\n"
    "                   (default: found among this program's parent processes)\n"
    "  --all            check every package of config.xml at once, for both kinds\n"
    "                   of launcher (..._<code>_x.exe, the .cif file, and\n"
    "                   ..._<code>_xl.exe, the .cmd script), and report what only\n"
    "                   the whole file shows: entries no run reads, values that\n"
    "                   are probably not what was meant, prepared files that fail\n"
    "                   every package using them. Prints a row per package and\n"
    "                   kind, the findings and a summary line\n"
    "  --diff           show each live file's new text as a unified diff; with --all\n"
    "                   only for the first package of each distinct outcome\n"
    "  --json           print the report as JSON, for scripts\n"
    "  --help           show this help\n"
    "  --version        show the version\n"
    "\n"
    "Exit status: 0 when a run would customise the package completely, 1 when\n"
    "it would stop early or leave a file unpatched, 2 on a usage error. With\n"
    "--all: 0 when every package would be customised completely by both kinds\n"
    "of launcher and there is no finding, 1 otherwise.\n";

struct Options {
  std::optional<std::u16string> launcher;
  std::optional<std::u16string> folder;
  bool diff = false;
  bool json = false;
  bool all = false;
};

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

}  // namespace

int runCheckTool(const std::vector<std::u16string>& args, std::string& out, std::string& err) {
  Options options;
  const auto usageError = [&err](const std::string& message) {
    err += "pkgcustomize-check: " + message + "\n" + kUsage;
    return kUsageError;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if (arg == u"--help" || arg == u"-h") {
      out += kUsage;
      out += "\n";
      out += kHelp;
      return kComplete;
    }
    if (arg == u"--version") {
      out += "pkgcustomize-check " PKGCUSTOMIZE_VERSION "\n";
      return kComplete;
    }
    if (arg == u"--diff") {
      options.diff = true;
    } else if (arg == u"--json") {
      options.json = true;
    } else if (arg == u"--all") {
      options.all = true;
    } else if (arg == u"--launcher" || arg.starts_with(u"--launcher=")) {
      if (arg == u"--launcher" && i + 1 == args.size())
        return usageError("--launcher needs a name");
      options.launcher = arg == u"--launcher" ? args[++i] : arg.substr(11);
      if (options.launcher->empty()) return usageError("--launcher needs a name");
    } else if (arg.starts_with(u"-") && arg != u"-") {
      return usageError("unknown option " + platform::toNarrow(arg));
    } else if (options.folder) {
      return usageError("only one FOLDER may be given");
    } else {
      options.folder = arg;
    }
  }

  if (options.all && options.launcher) return usageError("--all and --launcher exclude each other");

  // Found before moving to the folder: the walk starts at this process either way.
  const std::u16string launcherName = options.launcher ? *options.launcher
                                      : options.all    ? u""
                                                       : findLauncherName();
  const DirectoryRestorer restorer;
  if (options.folder && !platform::changeDirectory(*options.folder)) {
    return usageError("cannot enter the folder " + platform::toNarrow(*options.folder));
  }
  if (options.all) {
    const Audit audit = auditPackages();
    out +=
        options.json ? auditJsonReport(audit, options.diff) : auditTextReport(audit, options.diff);
    return audit.clean ? kComplete : kIncomplete;
  }
  const Diagnosis diagnosis = diagnosePackage(launcherName, options.launcher.has_value());
  out += options.json ? jsonReport(diagnosis, options.diff) : textReport(diagnosis, options.diff);
  return diagnosis.complete ? kComplete : kIncomplete;
}

int checkToolMain(const std::vector<std::u16string>& args) {
  platform::hardenProcess();
  platform::initializeCom();
  std::string out;
  std::string err;
  const int status = runCheckTool(args, out, err);
  std::cout << out << std::flush;
  std::cerr << err << std::flush;
  return status;
}

}  // namespace check
