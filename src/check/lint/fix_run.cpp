#include "check/lint/fix_run.h"

#include <algorithm>
#include <filesystem>
#include <string>

#include "check/lint/config_fix.h"
#include "check/report/unified_diff.h"
#include "platform/files.h"

namespace check {

namespace {

// True when `a` and `b` touch the same bytes, or insert at the same place,
// where the order of the two would be a guess.
bool overlap(const TextEdit& a, const TextEdit& b) {
  if (a.offset == b.offset) return true;
  return a.offset < b.offset + b.length && b.offset < a.offset + a.length;
}

// True when the edits of `fix` fit in `size` bytes, overlap none of `made`
// and none of each other.
bool fits(const FileEdits& edits, std::size_t size, const std::vector<const TextEdit*>& made) {
  for (std::size_t i = 0; i < edits.size(); ++i) {
    const TextEdit& e = edits[i];
    if (e.offset > size || e.length > size - e.offset) return false;
    for (std::size_t j = 0; j < i; ++j) {
      if (overlap(e, edits[j])) return false;
    }
    for (const TextEdit* other : made) {
      if (overlap(e, *other)) return false;
    }
  }
  return true;
}

// Why a replacement of config.xml failed, in a maintainer's words, with the
// system's code where it gave one.
std::string failureText(platform::FileFailure failure) {
  using platform::FileProblem;
  if (failure.problem == FileProblem::InUse) return "is in use by another program";
  std::string text = "cannot be replaced";
  switch (failure.problem) {
    case FileProblem::AccessDenied:
      text += ": access is denied (the file is read-only, or not this user's to change)";
      break;
    case FileProblem::DiskFull:
      text += ": the disk is full";
      break;
    case FileProblem::Missing:
      text += ": the file or its folder is missing";
      break;
    default:
      break;
  }
  if (failure.code != 0) text += " (system error " + std::to_string(failure.code) + ")";
  return text;
}

}  // namespace

AppliedFixes applyFixes(std::string_view bytes, const std::vector<Finding>& findings,
                        const std::u16string& file) {
  AppliedFixes applied;
  std::vector<const TextEdit*> made;
  for (const Finding& f : findings) {
    if (f.file != file || !f.fix || removesFile(*f.fix)) continue;
    const FileEdits& edits = editsOf(*f.fix);
    if (!fits(edits, bytes.size(), made)) {
      applied.skipped.push_back(f);
      continue;
    }
    for (const TextEdit& e : edits) made.push_back(&e);
    applied.made.push_back(f);
  }
  std::sort(made.begin(), made.end(),
            [](const TextEdit* a, const TextEdit* b) { return a->offset < b->offset; });
  std::size_t done = 0;
  for (const TextEdit* e : made) {
    applied.bytes.append(bytes.substr(done, e->offset - done));
    applied.bytes += e->bytes;
    done = e->offset + e->length;
  }
  applied.bytes.append(bytes.substr(done));
  return applied;
}

FixOutcome fixFindings(const std::vector<Finding>& findings,
                       const std::optional<std::string>& before, bool dryRun,
                       const std::u16string& folder) {
  FixOutcome outcome;
  const std::string shownFolder = folder.empty() ? "." : utf8(folder);
  AppliedFixes applied = before ? applyFixes(*before, findings) : AppliedFixes{};
  if (before) outcome.after = applied.bytes;
  outcome.made = std::move(applied.made);
  outcome.skipped = std::move(applied.skipped);
  const bool rewrite = before && applied.bytes != *before;
  std::string removals;
  for (const Finding& f : findings) {
    if (!f.fix || !removesFile(*f.fix)) continue;
    outcome.made.push_back(f);
    removals += "Only in " + shownFolder + ": " + utf8(f.file) + "\n";
  }
  if (dryRun) {
    if (rewrite) {
      outcome.diff =
          unifiedDiff(*before, applied.bytes,
                      utf8((std::filesystem::path(folder) / kConfigFile).generic_u16string()), true,
                      DiffLines::OwnBytes);
    }
    outcome.diff += removals;
    if (outcome.diff.empty()) outcome.diff = "nothing to mend in " + shownFolder + "\n";
    return outcome;
  }
  if (rewrite) {
    if (platform::readFileBytes(kConfigFile) != before) {
      outcome.error = "config.xml changed after it was read: nothing written";
      return outcome;
    }
    platform::FileReplacement replacement(kConfigFile);
    if (!replacement.write(applied.bytes) || !replacement.commit()) {
      outcome.error = "config.xml " + failureText(replacement.failure()) + ": nothing written";
      return outcome;
    }
  }
  if (!removals.empty()) platform::removeLeftovers();
  return outcome;
}

std::string fixSummary(const FixOutcome& outcome, const ReportContext& context, std::size_t left) {
  std::string out;
  const auto line = [&](const char* what, const Finding& f, const std::string& how) {
    out += std::string(what) + " " + location(context, f) + " [" + rule(f.rule).name + "]: " + how +
           "\n";
  };
  for (const Finding& f : outcome.made) {
    line(removesFile(*f.fix) ? "removed" : "fixed", f, utf8(f.fix->description));
  }
  for (const Finding& f : outcome.skipped) {
    line("skipped", f, "its fix overlaps one made before it; run --fix again");
  }
  out += std::to_string(outcome.made.size()) + " fixed, " + std::to_string(left) + " left\n";
  return out;
}

}  // namespace check
