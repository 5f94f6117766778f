#include "customize/patch_inf.h"

#include <algorithm>

namespace {

// New bytes held back before they are passed on all the same.
constexpr std::size_t kHoldLimit = 1024 * 1024;

// Passes `text` through the filters and appends its encoded bytes to `out`.
// A filter that has made its substitution holds nothing back and passes
// everything on unchanged, so it is skipped.
void passThrough(SetupPatch& patch, std::string_view text, std::string& out) {
  std::size_t next = 0;
  for (SubstitutionFilter& filter : patch.filters) {
    if (filter.found) continue;
    std::string& filtered = patch.filtered[next];
    next ^= 1;
    filtered.clear();
    filterSetupText(filter, text, filtered);
    text = filtered;
  }
  encodeSetupText(text, out);
}

bool allMade(const SetupPatch& patch) {
  return std::all_of(patch.filters.begin(), patch.filters.end(),
                     [](const SubstitutionFilter& filter) { return filter.found; });
}

}  // namespace

SetupPatch startSetupPatch(std::int32_t cmdFile, const std::u16string& packageCode,
                           const std::u16string& market, bool substituteValues,
                           const std::u16string& barPc) {
  SetupPatch patch;
  for (Substitution& substitution :
       setupSubstitutions(cmdFile, packageCode, market, substituteValues, barPc)) {
    patch.filters.emplace_back().substitution = std::move(substitution);
  }
  return patch;
}

std::optional<std::string_view> feedSetupPatch(SetupPatch& patch, std::string_view bytes) {
  std::string_view out;
  if (allMade(patch)) {
    // The rest of the file only has its line ends rewritten.
    out = recodeSetupBytes(patch.decoder, bytes, patch.out);
  } else {
    patch.text.clear();
    decodeSetupBytes(patch.decoder, bytes, patch.text);
    patch.out.clear();
    passThrough(patch, patch.text, patch.out);
    out = patch.out;
  }
  if (patch.decoder.cutShort) return std::nullopt;
  if (!patch.holding) return out;
  patch.held += out;
  if (!allMade(patch) && patch.held.size() < kHoldLimit) return std::string_view();
  patch.holding = false;
  patch.out.swap(patch.held);  // handed out now; the held bytes go
  patch.held.clear();
  return patch.out;
}

PatchedSetup finishSetupPatch(SetupPatch& patch, std::string& out) {
  PatchedSetup patched;
  if (patch.decoder.cutShort) {
    patched.outcome = PatchOutcome::CutShort;
    return patched;
  }
  if (patch.holding) out += patch.held;
  patch.text.clear();
  finishSetupDecode(patch.decoder, patch.text);
  passThrough(patch, patch.text, out);
  // Nothing else is left to pass on: a filter that has made its substitution
  // holds nothing back, and one that has not makes the patch fail.
  for (SubstitutionFilter& filter : patch.filters) {
    patched.applied.push_back({std::move(filter.substitution), filter.found, filter.line});
    if (!filter.found) {
      patched.outcome = PatchOutcome::TextMissing;
      break;
    }
  }
  return patched;
}

PatchedSetup patchSetupBytes(std::string_view bytes, std::int32_t cmdFile,
                             const std::u16string& packageCode, const std::u16string& market,
                             bool substituteValues, const std::u16string& barPc) {
  SetupPatch patch = startSetupPatch(cmdFile, packageCode, market, substituteValues, barPc);
  std::string out;
  if (const auto piece = feedSetupPatch(patch, bytes)) out = *piece;
  PatchedSetup patched = finishSetupPatch(patch, out);
  if (patched.outcome == PatchOutcome::Rewritten) patched.bytes = std::move(out);
  return patched;
}

PatchedSetup patchSetupFile(const PackageFiles& files, const std::u16string& setupPath,
                            std::int32_t cmdFile, const std::u16string& packageCode,
                            const std::u16string& market, bool substituteValues,
                            const std::u16string& barPc) {
  PatchedSetup patched;
  if (setupPath.empty() || (cmdFile == 0 && packageCode.empty())) {
    patched.outcome = PatchOutcome::Skipped;
    return patched;
  }
  SetupPatch patch = startSetupPatch(cmdFile, packageCode, market, substituteValues, barPc);
  bool finished = false;
  const ByteTransform transform{
      [&patch](std::string_view piece) { return feedSetupPatch(patch, piece); },
      [&](std::string& out) {
        finished = true;
        patched = finishSetupPatch(patch, out);
        return patched.outcome == PatchOutcome::Rewritten;
      }};
  const RewriteEnd end = files.rewriteFile(setupPath, transform);
  if (end == RewriteEnd::NotRead) {
    patched.outcome = PatchOutcome::NotRead;
  } else if (!finished) {
    patched.outcome = PatchOutcome::CutShort;  // refused while read: bytes after a NUL or 0x1A
  } else if (end == RewriteEnd::NotWritten) {
    patched.outcome = PatchOutcome::NotWritten;
  }
  return patched;
}

void patchInf(std::u16string setupPath, std::int32_t cmdFile, std::u16string packageCode,
              std::u16string market, bool substituteValues, std::u16string barPc) {
  const PatchedSetup patched = patchSetupFile(realPackageFiles(), setupPath, cmdFile, packageCode,
                                              market, substituteValues, barPc);
  if (patched.outcome == PatchOutcome::TextMissing) throw MissingTextError();
}
