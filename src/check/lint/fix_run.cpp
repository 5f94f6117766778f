#include "check/lint/fix_run.h"

#include <filesystem>

#include "check/lint/config_fix.h"
#include "check/report/report.h"
#include "check/report/unified_diff.h"
#include "platform/files.h"

namespace check {

FixOutcome fixFindings(const std::vector<Finding>& findings,
                       const std::optional<std::string>& before, bool dryRun,
                       const std::u16string& folder) {
  FixOutcome outcome;
  const std::string shownFolder = folder.empty() ? "." : utf8(folder);
  const std::string after = before ? applyEdits(*before, findings) : std::string();
  if (before) outcome.after = after;
  bool leftovers = false;
  for (const Finding& f : findings) {
    if (f.fix && f.fix->removeFile) {
      leftovers = true;
      if (dryRun) outcome.diff += "Only in " + shownFolder + ": " + utf8(f.file) + "\n";
    }
  }
  const bool rewrite = before && after != *before;
  if (dryRun) {
    if (rewrite) {
      outcome.diff = unifiedDiff(readableText(*before), readableText(after),
                                 utf8((std::filesystem::path(folder) / kConfigFile).u16string())) +
                     outcome.diff;
    }
    return outcome;
  }
  if (rewrite) {
    if (platform::readFileBytes(kConfigFile) != before) {
      outcome.error = "config.xml changed after it was read: nothing written";
      return outcome;
    }
    platform::FileReplacement replacement(kConfigFile);
    if (!replacement.write(after) || !replacement.commit()) {
      outcome.error = "config.xml cannot be replaced: nothing written";
      return outcome;
    }
  }
  if (leftovers) platform::removeLeftovers();
  return outcome;
}

}  // namespace check
