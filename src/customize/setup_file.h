// Puts the chosen setup-file variant in place and has the live files patched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The live setup files of a package folder.
inline constexpr char16_t kCifName[] = u"kvsetup.cif";
inline constexpr char16_t kCmdName[] = u"kv-setup.cmd";

// The prepared variant for the kind (`cmdVariant` 0: the .cif file, 1: the
// .cmd script) and variant (`useEVariant` 0: "_o", 1: "_e").
std::u16string variantFileName(std::int32_t cmdVariant, std::int32_t useEVariant);

// Copies the chosen variant over `cifName` or `cmdName`; true when copied.
bool selectSetupFile(std::int32_t cmdVariant, std::int32_t useEVariant, std::u16string cifName,
                     std::u16string cmdName);

// One patchInf call of a customisation run.
struct PatchRequest {
  std::u16string setupPath;
  std::int32_t cmdFile = 0;
  std::u16string packageCode;
  std::u16string market;
  bool substituteValues = false;
  std::u16string barPc;
  // The run goes on to the next call when this one finds a text missing.
  bool continueWhenTextMissing = false;
};

// The patchInf calls that follow a successful copy, in order.
std::vector<PatchRequest> planPatches(const std::u16string& packageCode, std::int32_t cmdVariant,
                                      std::int32_t useEVariant, const std::u16string& market,
                                      const std::u16string& barPc);

// Copies the chosen variant over its live file and, when that succeeded,
// patches the live files. A missing text ends it with MissingTextError.
void customizePackage(std::u16string packageCode, std::int32_t cmdVariant, std::int32_t useEVariant,
                      std::u16string market, std::u16string barPc);
