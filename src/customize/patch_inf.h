// Rewrites one live setup file: its INF name and its barPc and market values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "customize/setup_text.h"

// One substitution of a patch, and where in the text it was made.
struct AppliedSubstitution {
  Substitution substitution;
  bool found = false;
  std::size_t line = 0;  // the line, from 1, on which the searched text was found
};

enum class PatchOutcome {
  Rewritten,    // every substitution was made
  CutShort,     // bytes follow a NUL or 0x1A: the file must be left alone
  TextMissing,  // a searched text is missing; the last applied entry says which
};

struct PatchedSetup {
  PatchOutcome outcome = PatchOutcome::Rewritten;
  std::vector<AppliedSubstitution> applied;  // in order, up to the missing one
  std::string bytes;                         // the new file, when Rewritten
};

// What patchInf makes of a setup file holding `bytes`, without touching any
// file: the substitutions of setupSubstitutions() on the file's text.
PatchedSetup patchSetupBytes(std::string bytes, std::int32_t cmdFile,
                             const std::u16string& packageCode, const std::u16string& market,
                             bool substituteValues, const std::u16string& barPc);

// Rewrites the setup file `setupPath` as patchSetupBytes() says. Returns
// without touching the file when `setupPath` is empty, when `cmdFile` is 0
// and `packageCode` empty, when the file cannot be read or written, and when
// bytes follow a NUL or 0x1A in it. Throws MissingTextError, leaving the file
// untouched, when a text to replace is missing. The file is replaced whole or
// not at all.
void patchInf(std::u16string setupPath, std::int32_t cmdFile, std::u16string packageCode,
              std::u16string market, bool substituteValues, std::u16string barPc);
