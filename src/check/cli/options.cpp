#include "check/cli/options.h"

#include <algorithm>
#include <utility>

#include "check/report/output_format.h"
#include "platform/codepage.h"

namespace check {

const char kUsage[] =
    "usage: pkgcustomize-check [--launcher NAME] [OPTIONS] [FOLDER...]\n"
    "       pkgcustomize-check --all [OPTIONS] [FOLDER...]\n"
    "       pkgcustomize-check --stdin-filename PATH/config.xml [OPTIONS] -\n"
    "       pkgcustomize-check --lsp\n";

namespace {

const char kHelpBeforeFormats[] =
    "Shows what pkgcustomize would do in a package folder, and what keeps it from\n"
    "customising the package as meant, by running the customisation itself on a\n"
    "view of the folder that keeps every write in memory. Writes no file unless\n"
    "--fix is given.\n"
    "\n"
    "  FOLDER...         the package folders, each checked in turn (default: the\n"
    "                    current directory); a path to a config.xml stands for\n"
    "                    its folder\n"
    "  -                 the bytes of standard input, as the config.xml that\n"
    "                    --stdin-filename names (an editor's unsaved buffer)\n"
    "  --launcher NAME   the launcher's file name, e.g. TRKVpack_v2_TR0107_x.exe\n"
    "                    (default: found among this program's parent processes)\n"
    "  --all             check every package of config.xml, for both kinds of\n"
    "                    launcher (..._<code>_x.exe, the .cif file, and\n"
    "                    ..._<code>_xl.exe, the .cmd script), and what only the\n"
    "                    whole file shows\n"
    "  --diff            show each live file's new text as a unified diff; with\n"
    "                    --all for the first package of each distinct outcome\n"
    "  --format FORMAT   the report's format (--json is --format json):\n";

const char kHelpAfterFormats[] =
    "  --only-failures   with --all, print only the rows that are not complete\n"
    "  --strict          exit 1 on a warning too\n"
    "  --fix             mend in config.xml what the rules name a certain fix for\n"
    "                    (docs/rules.md), remove the leftovers of interrupted runs,\n"
    "                    then check again and report what is left\n"
    "  --dry-run         with --fix, write nothing: show the change to config.xml\n"
    "                    as a unified diff\n"
    "  --lsp             serve the Language Server Protocol on standard input and\n"
    "                    output: an editor's open config.xml checked as it is\n"
    "                    typed, with the fixes as code actions\n"
    "  --help            show this help (on Windows also /?)\n"
    "  --version         show the version\n"
    "\n"
    "Exit status: 0 when nothing keeps the package from being customised as\n"
    "written (warnings are printed all the same), 1 on an error (with --strict on\n"
    "a warning too), 2 on a usage error or when a folder cannot be read; with\n"
    "several folders the worst of them.\n"
    "\n"
    "The rules, with an example and the fix for each: docs/rules.md. The JSON\n"
    "report: docs/json.md.\n";

// "a, b or c".
std::string formatNames() {
  std::string names;
  const std::vector<OutputFormat>& formats = outputFormats();
  for (std::size_t i = 0; i < formats.size(); ++i) {
    names += (i == 0 ? "" : i + 1 == formats.size() ? " or " : ", ") + std::string(formats[i].name);
  }
  return names;
}

// The value of an option given as "--name VALUE" or "--name=VALUE"; nullopt
// when `args[i]` is not that option. Advances `i` past a separate value.
std::optional<std::u16string> optionValue(const std::vector<std::u16string>& args, std::size_t& i,
                                          const std::u16string& name, std::string& error) {
  const std::u16string& arg = args[i];
  if (arg.starts_with(name + u"=")) return arg.substr(name.size() + 1);
  if (arg != name) return std::nullopt;
  if (i + 1 == args.size()) {
    error = platform::toUtf8(name) + " needs a value";
    return std::u16string();
  }
  return args[++i];
}

// Applies one flag; false when `arg` is none.
bool applyFlag(const std::u16string& arg, Options& o) {
  const std::pair<const char16_t*, bool Options::*> flags[] = {
      {u"--all", &Options::all},       {u"--diff", &Options::diff},
      {u"--strict", &Options::strict}, {u"--only-failures", &Options::onlyFailures},
      {u"--help", &Options::help},     {u"-h", &Options::help},
      {u"/?", &Options::help},         {u"--version", &Options::version},
      {u"--fix", &Options::fix},       {u"--dry-run", &Options::dryRun},
      {u"--lsp", &Options::lsp},
  };
  for (const auto& [name, flag] : flags) {
    if (arg == name) {
      o.*flag = true;
      return true;
    }
  }
  if (arg != u"--json") return false;
  o.format = "json";
  return true;
}

std::string applyFormat(const std::u16string& name, Options& o) {
  const OutputFormat* format = findOutputFormat(name);
  if (format == nullptr) {
    return "unknown format \"" + platform::toUtf8(name) + "\" (" + formatNames() + ")";
  }
  o.format = format->name;
  return {};
}

// Applies the argument at `i`; a usage error, or empty.
std::string applyArgument(const std::vector<std::u16string>& args, std::size_t& i, Options& o) {
  std::string error;
  if (applyFlag(args[i], o)) return {};
  if (auto launcher = optionValue(args, i, u"--launcher", error)) {
    if (error.empty() && launcher->empty()) error = "--launcher needs a name";
    o.launcher = std::move(*launcher);
    return error;
  }
  if (auto name = optionValue(args, i, u"--stdin-filename", error)) {
    if (error.empty() && name->empty()) error = "--stdin-filename needs a path";
    o.stdinFilename = std::move(*name);
    return error;
  }
  if (auto format = optionValue(args, i, u"--format", error)) {
    return error.empty() ? applyFormat(*format, o) : error;
  }
  if (args[i].starts_with(u"-") && args[i] != u"-") {
    return "unknown option " + platform::toUtf8(args[i]);
  }
  o.folders.push_back(args[i]);
  return {};
}

// Standard input ("-") is read once, as the config.xml --stdin-filename
// names, and is not a file --fix could write.
std::string standardInputError(const Options& o) {
  const auto dashes = std::count(o.folders.begin(), o.folders.end(), u"-");
  if (dashes > 1) return "- (standard input) may be given once";
  if (dashes == 1 && !o.stdinFilename) return "- (standard input) needs --stdin-filename";
  if (dashes == 0 && o.stdinFilename) return "--stdin-filename needs - among the folders";
  if (dashes == 1 && o.fix) return "--fix cannot mend standard input";
  return {};
}

}  // namespace

std::string helpText() {
  std::string text = kHelpBeforeFormats;
  for (const OutputFormat& format : outputFormats()) {
    std::string name = format.name;
    name.resize(9, ' ');
    text += "                      " + name + format.help + "\n";
  }
  return text + kHelpAfterFormats;
}

ParsedOptions parseOptions(const std::vector<std::u16string>& args) {
  ParsedOptions parsed;
  for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
    parsed.error = applyArgument(args, i, parsed.options);
  }
  const Options& o = parsed.options;
  if (parsed.error.empty() && o.all && o.launcher) {
    parsed.error = "--all and --launcher exclude each other";
  }
  if (parsed.error.empty() && o.onlyFailures && !o.all) {
    parsed.error = "--only-failures needs --all";
  }
  if (parsed.error.empty() && o.dryRun && !o.fix) parsed.error = "--dry-run needs --fix";
  if (parsed.error.empty()) parsed.error = standardInputError(o);
  return parsed;
}

}  // namespace check
