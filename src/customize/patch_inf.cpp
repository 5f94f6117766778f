#include "customize/patch_inf.h"

#include "customize/setup_text.h"
#include "platform/files.h"

void patchInf(std::u16string setupPath, std::int32_t cmdFile, std::u16string packageCode,
              std::u16string market, bool substituteValues, std::u16string barPc) {
  if (setupPath.empty() || (cmdFile == 0 && packageCode.empty())) return;
  const auto bytes = platform::readFileBytes(setupPath);
  if (!bytes) return;
  SetupText setup = decodeSetupText(*bytes);
  if (setup.cutShort) return;  // rewriting would drop what follows the cut
  for (const Substitution& substitution :
       setupSubstitutions(cmdFile, packageCode, market, substituteValues, barPc)) {
    applySubstitution(setup.text, substitution);
  }
  // A file that cannot be written (read-only, disk full) keeps its text; the
  // run goes on as if it had been written.
  platform::replaceFileContents(setupPath, encodeSetupText(setup.text));
}
