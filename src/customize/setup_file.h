// Puts the chosen setup-file variant in place and has the live files patched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "customize/package_files.h"
#include "customize/patch_inf.h"

// The live setup files of a package folder.
inline constexpr char16_t kCifName[] = u"kvsetup.cif";
inline constexpr char16_t kCmdName[] = u"kv-setup.cmd";

// The prepared variant for the kind (`cmdVariant` 0: the .cif file, 1: the
// .cmd script) and variant (`useEVariant` 0: "_o", 1: "_e").
std::u16string variantFileName(std::int32_t cmdVariant, std::int32_t useEVariant);

// Copies the chosen variant over `cifName` or `cmdName` through `files`;
// true when copied.
bool selectSetupFile(const PackageFiles& files, std::int32_t cmdVariant, std::int32_t useEVariant,
                     std::u16string cifName, std::u16string cmdName);

// The same on the real files.
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

// A patch call that a run made, and how it came out.
struct PatchCall {
  PatchRequest request;
  PatchedSetup patched;
};

// What a customisation did, in order.
struct Customization {
  std::u16string variantName;      // the prepared variant chosen
  std::u16string liveName;         // the live file it is copied over
  bool copied = false;             // false: nothing else was done
  std::vector<PatchCall> patches;  // the calls made, in order
  bool stopped = false;            // a missing text ended the run before its planned end
};

// Copies the chosen variant over its live file through `files` and, when that
// succeeded, patches the live files. A missing text ends it, unless the call
// that finds it says the run goes on.
Customization customizePackage(const PackageFiles& files, std::u16string packageCode,
                               std::int32_t cmdVariant, std::int32_t useEVariant,
                               std::u16string market, std::u16string barPc);

// The same on the real files; a missing text ends it with MissingTextError.
void customizePackage(std::u16string packageCode, std::int32_t cmdVariant, std::int32_t useEVariant,
                      std::u16string market, std::u16string barPc);
