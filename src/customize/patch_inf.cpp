#include "customize/patch_inf.h"

#include <algorithm>
#include <vector>

#include "platform/files.h"

namespace {

// The size of the pieces a setup file is read in.
constexpr std::size_t kPieceSize = 64 * 1024;

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
  const bool allMade = std::all_of(patch.filters.begin(), patch.filters.end(),
                                   [](const SubstitutionFilter& filter) { return filter.found; });
  std::string_view out;
  if (allMade) {
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
  return out;
}

PatchedSetup finishSetupPatch(SetupPatch& patch, std::string& out) {
  PatchedSetup patched;
  if (patch.decoder.cutShort) {
    patched.outcome = PatchOutcome::CutShort;
    return patched;
  }
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

void patchInf(std::u16string setupPath, std::int32_t cmdFile, std::u16string packageCode,
              std::u16string market, bool substituteValues, std::u16string barPc) {
  if (setupPath.empty() || (cmdFile == 0 && packageCode.empty())) return;
  // A file that cannot be replaced (read-only, say) is still read to the end:
  // a missing text raises its error all the same.
  platform::FileReplacement replacement(setupPath);
  SetupPatch patch = startSetupPatch(cmdFile, packageCode, market, substituteValues, barPc);
  {
    platform::InputFile file(setupPath);
    if (!file.isOpen()) return;
    std::vector<char> buffer(kPieceSize);
    for (;;) {
      const std::ptrdiff_t got = file.read(buffer);
      if (got < 0) return;
      if (got == 0) break;
      const auto piece = feedSetupPatch(patch, {buffer.data(), static_cast<std::size_t>(got)});
      // Bytes after a NUL or 0x1A: writing the text back would drop them.
      if (!piece) return;
      replacement.write(*piece);
    }
  }  // closed before the new file moves over it
  std::string out;
  const PatchedSetup patched = finishSetupPatch(patch, out);
  if (patched.outcome == PatchOutcome::TextMissing) throw MissingTextError();
  // A file that cannot be written (read-only, disk full) keeps its text; the
  // run goes on as if it had been written.
  replacement.write(out);
  replacement.commit();
}
