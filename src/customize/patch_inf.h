// Rewrites one live setup file: its INF name and its barPc and market values.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "customize/package_files.h"
#include "customize/setup_kind.h"
#include "customize/setup_text.h"

// One patchInf call of a customisation run: the file, and what goes into it.
struct PatchRequest {
  std::u16string setupPath = {};
  SetupKind cmdFile = SetupKind::Cif;  // the .cif treatment, with the INF name, or the .cmd one
  std::u16string packageCode = {};
  std::u16string market = {};
  bool substituteValues = false;  // barPc and market asked for
  std::u16string barPc = {};
  // The run goes on to the next call when this one finds a text missing.
  bool continueWhenTextMissing = false;
};

// The substitutions that `request` makes, in order: with `cmdFile` 0 the first
// "INSTALL.INF" becomes "INSTALL_<packageCode>.INF"; with `substituteValues`
// the first "B8DF" becomes `barPc` and then the first "en-us" `market`.
// Values are converted to narrow text.
std::vector<Substitution> setupSubstitutions(const PatchRequest& request);

// One substitution of a patch, and where in the text it was made.
struct AppliedSubstitution {
  Substitution substitution;
  bool found = false;
  std::size_t line = 0;  // the line, from 1, on which the searched text was found
};

enum class PatchOutcome {
  Rewritten,    // every substitution was made and the file replaced
  Skipped,      // no path, or a .cif call without a package code: the file is not opened
  NotRead,      // the file is missing, not a regular file or unreadable
  CutShort,     // bytes follow a NUL or 0x1A: the file must be left alone
  TextMissing,  // a searched text is missing; the last applied entry says which
  NotWritten,   // the new text cannot replace the file (read-only, a full disk)
};

struct PatchedSetup {
  PatchOutcome outcome = PatchOutcome::Rewritten;
  std::vector<AppliedSubstitution> applied;  // in order, up to the missing one
};

// A patch of a setup file in progress, fed the old file's bytes piece by
// piece: a text-mode read, one filter per substitution, each fed what the one
// before it passes on, and a text-mode write. It passes nothing on until every
// substitution is made, so that a file missing a text is never written; past
// a limit it passes the new bytes on all the same, and so its memory does not
// grow with the file.
struct SetupPatch {
  SetupDecoder decoder;
  std::vector<SubstitutionFilter> filters;
  std::string text;         // the piece read
  std::string filtered[2];  // the piece as the filters pass it on
  std::string out;          // the new file's bytes for the piece
  std::string held;         // new bytes not yet passed on
  bool holding = true;      // nothing passed on yet
};

// A patch making the substitutions of `request`.
SetupPatch startSetupPatch(const PatchRequest& request);

// The new file's bytes for the next `bytes` of the old one, valid until the
// next call (they may be `bytes` itself, or empty while held back). nullopt
// once bytes follow a NUL or 0x1A: the outcome is CutShort whatever comes after.
std::optional<std::string_view> feedSetupPatch(SetupPatch& patch, std::string_view bytes);

// Ends the old file: appends the new file's last bytes to `out` and tells how
// the patch came out (the outcome and the substitutions made, no bytes).
PatchedSetup finishSetupPatch(SetupPatch& patch, std::string& out);

// True when `request` leaves its file unopened: no path, or the .cif
// treatment without a package code.
bool skipsFile(const PatchRequest& request);

// Makes the patch `request` through `write`, which hands the patch's
// transform to the file layer and tells how the file came out; tells how the
// patch came out. The file is replaced only when every substitution was made.
PatchedSetup patchWith(const PatchRequest& request,
                       const std::function<RewriteEnd(const ByteTransform&)>& write);

// Rewrites the setup file of `request` through `files` and tells how it came
// out: whole or not at all, and only when every substitution was made.
PatchedSetup patchInf(const PackageFiles& files, const PatchRequest& request);
