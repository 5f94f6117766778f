// Rewrites one live setup file: its INF name and its barPc and market values.
#pragma once

#include <cstdint>
#include <string>

// Rewrites the setup file `setupPath` with the substitutions of
// setupSubstitutions(), each on the first occurrence of its text. Returns
// without touching the file when `setupPath` is empty, when `cmdFile` is 0
// and `packageCode` empty, when the file cannot be read or written, and when
// bytes follow a NUL or 0x1A in it. Throws MissingTextError, leaving the file
// untouched, when a text to replace is missing. The file is replaced whole or
// not at all; bare LF line ends come back as CR LF.
void patchInf(std::u16string setupPath, std::int32_t cmdFile, std::u16string packageCode,
              std::u16string market, bool substituteValues, std::u16string barPc);
