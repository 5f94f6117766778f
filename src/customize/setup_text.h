// The text of a setup file: its line-end rules and its substitutions, as pure
// transforms over bytes.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A text to replace was not found in a setup file.
struct MissingTextError : std::out_of_range {
  MissingTextError() : std::out_of_range("invalid string position") {}
};

struct SetupText {
  std::string text;
  // Bytes follow the NUL or 0x1A byte that ended the text: writing the text
  // back would lose them.
  bool cutShort = false;
};

// The text that a text-mode read of `bytes` yields: CR LF becomes LF, any
// other CR stays, and the text ends at the first 0x1A or NUL byte.
SetupText decodeSetupText(std::string bytes);

// The bytes that a text-mode write of `text` produces: every LF becomes CR LF.
std::string encodeSetupText(std::string_view text);

struct Substitution {
  std::string searched;
  std::string replacement;
};

// The substitutions one patch makes, in order: with `cmdFile` 0 the first
// "INSTALL.INF" becomes "INSTALL_<packageCode>.INF"; with `substituteValues`
// the first "B8DF" becomes `barPc` and then the first "en-us" `market`.
// Values are converted to narrow text.
std::vector<Substitution> setupSubstitutions(std::int32_t cmdFile,
                                             const std::u16string& packageCode,
                                             const std::u16string& market, bool substituteValues,
                                             const std::u16string& barPc);
