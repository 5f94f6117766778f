// Puts the chosen setup-file variant in place and has the live files patched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "customize/package_files.h"
#include "customize/patch_inf.h"

// The live setup files of a package folder.
inline constexpr char16_t kCifName[] = u"kvsetup.cif";
inline constexpr char16_t kCmdName[] = u"kv-setup.cmd";

// The chosen variant put in place, and the patch made on the way.
struct SelectedSetup {
  bool copied = false;                  // false: the live file is as it was
  std::optional<PatchedSetup> patched;  // how the patch asked for came out, once copied
};

// Copies the prepared variant for the kind (`cmdVariant`: the .cif file or
// the .cmd script) and variant (`useEVariant`: "_o" or "_e") over
// `cifName` or `cmdName` through `files`. With `patch`, the patch of that live
// file, the copy is patched in the same pass: the live file is replaced once,
// and left as copied wherever a patch of the copy would leave it so.
SelectedSetup selectSetupFile(const PackageFiles& files, SetupKind cmdVariant, Variant useEVariant,
                              const std::u16string& cifName, const std::u16string& cmdName,
                              const PatchRequest* patch = nullptr);

// A patch call that a run made, and how it came out.
struct PatchCall {
  PatchRequest request;
  PatchedSetup patched;
};

// What a customisation did, in order.
struct Customization {
  std::u16string variantName = {};      // the prepared variant chosen
  std::u16string liveName = {};         // the live file it is copied over
  bool copied = false;                  // false: nothing else was done
  std::vector<PatchCall> patches = {};  // the calls made, in order: a missing text may end them
};

// Copies the chosen variant over its live file through `files` and, when that
// succeeded, patches the live files. A missing text ends it, unless the call
// that finds it says the run goes on. The folder is flushed once, at the end.
Customization customizePackage(const PackageFiles& files, std::u16string packageCode,
                               SetupKind cmdVariant, Variant useEVariant, std::u16string market,
                               std::u16string barPc);
