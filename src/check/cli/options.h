// The check tool's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace check {

struct Options {
  std::optional<std::u16string> launcher;       // --launcher: the launcher's file name or path
  std::vector<std::u16string> folders;          // none: the current directory; "-": standard input
  std::optional<std::u16string> stdinFilename;  // the config.xml whose bytes "-" reads;
                                                // given exactly when "-" is a folder
  bool all = false;
  bool diff = false;
  bool strict = false;
  bool onlyFailures = false;
  std::string format = "text";  // the name of one of outputFormats()
  bool fix = false;             // --fix: mend what is certain, then check again
  bool dryRun = false;  // --dry-run: with --fix, show the change as a diff and write nothing
  bool lsp = false;     // --lsp: serve the Language Server Protocol on standard input and output
  bool help = false;
  bool version = false;
};

// The options `args` (without the program name) give, or the usage error
// they make.
struct ParsedOptions {
  Options options;
  std::string error;  // empty when the arguments are valid
};

ParsedOptions parseOptions(const std::vector<std::u16string>& args);

// What a usage error and --help print.
extern const char kUsage[];
std::string helpText();

}  // namespace check
