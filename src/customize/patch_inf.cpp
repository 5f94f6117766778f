#include "customize/patch_inf.h"

#include <algorithm>

#include "platform/files.h"

PatchedSetup patchSetupBytes(std::string bytes, std::int32_t cmdFile,
                             const std::u16string& packageCode, const std::u16string& market,
                             bool substituteValues, const std::u16string& barPc) {
  PatchedSetup patched;
  SetupText setup = decodeSetupText(std::move(bytes));
  if (setup.cutShort) {
    // Writing the text back would drop what follows the cut.
    patched.outcome = PatchOutcome::CutShort;
    return patched;
  }
  for (Substitution& substitution :
       setupSubstitutions(cmdFile, packageCode, market, substituteValues, barPc)) {
    AppliedSubstitution& applied = patched.applied.emplace_back();
    applied.substitution = std::move(substitution);
    const std::size_t at = setup.text.find(applied.substitution.searched);
    if (at == std::string::npos) {
      patched.outcome = PatchOutcome::TextMissing;
      return patched;
    }
    applied.found = true;
    applied.line =
        1 + static_cast<std::size_t>(std::count(
                setup.text.begin(), setup.text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
    setup.text.replace(at, applied.substitution.searched.size(), applied.substitution.replacement);
  }
  patched.bytes = encodeSetupText(setup.text);
  return patched;
}

void patchInf(std::u16string setupPath, std::int32_t cmdFile, std::u16string packageCode,
              std::u16string market, bool substituteValues, std::u16string barPc) {
  if (setupPath.empty() || (cmdFile == 0 && packageCode.empty())) return;
  auto bytes = platform::readFileBytes(setupPath);
  if (!bytes) return;
  const PatchedSetup patched =
      patchSetupBytes(std::move(*bytes), cmdFile, packageCode, market, substituteValues, barPc);
  if (patched.outcome == PatchOutcome::TextMissing) throw MissingTextError();
  if (patched.outcome != PatchOutcome::Rewritten) return;
  // A file that cannot be written (read-only, disk full) keeps its text; the
  // run goes on as if it had been written.
  platform::replaceFileContents(setupPath, patched.bytes);
}
