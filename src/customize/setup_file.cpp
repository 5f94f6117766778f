#include "customize/setup_file.h"

#include <algorithm>

namespace {

std::u16string variantFileName(SetupKind cmdVariant, Variant useEVariant) {
  if (cmdVariant == SetupKind::Cif)
    return useEVariant == Variant::O ? u"kvsetup_o.cif" : u"kvsetup_e.cif";
  return useEVariant == Variant::O ? u"kv-setup_o.cmd" : u"kv-setup_e.cmd";
}

// The patch calls that follow a successful copy, in order.
std::vector<PatchRequest> planPatches(const std::u16string& packageCode, SetupKind cmdVariant,
                                      Variant useEVariant, const std::u16string& market,
                                      const std::u16string& barPc) {
  const bool withValues = useEVariant == Variant::O && !barPc.empty();
  // The .cif file always gets the INF name; the values go into the live file
  // of the kind that was copied, and only for the "_o" variant.
  if (cmdVariant == SetupKind::Cif && withValues) {
    return {{.setupPath = kCifName,
             .cmdFile = SetupKind::Cif,
             .packageCode = packageCode,
             .market = market,
             .substituteValues = true,
             .barPc = barPc}};
  }
  std::vector<PatchRequest> patches{
      {.setupPath = kCifName, .cmdFile = SetupKind::Cif, .packageCode = packageCode}};
  if (cmdVariant == SetupKind::Cmd && withValues) {
    // The .cif file was not copied by this run and may already carry its INF
    // name from an earlier one; the script still needs its values then.
    patches.front().continueWhenTextMissing = true;
    patches.push_back({.setupPath = kCmdName,
                       .cmdFile = SetupKind::Cmd,
                       .market = market,
                       .substituteValues = true,
                       .barPc = barPc});
  }
  return patches;
}

// The planned patch of the live file that the copy makes, when the copy can
// make it: no call before it can end the run, and each is on another file, so
// that nothing between the copy and that patch can change whether it is made
// or what it finds. Null otherwise.
const PatchRequest* patchOfTheCopy(const std::vector<PatchRequest>& plan,
                                   const std::u16string& liveName) {
  for (const PatchRequest& request : plan) {
    if (request.setupPath == liveName) return &request;
    if (!request.continueWhenTextMissing) return nullptr;
  }
  return nullptr;
}

// Flushes what the run replaced when it ends, however it ends.
struct FlushAtEnd {
  const PackageFiles& files;
  explicit FlushAtEnd(const PackageFiles& files) : files(files) {}
  FlushAtEnd(const FlushAtEnd&) = delete;
  FlushAtEnd& operator=(const FlushAtEnd&) = delete;
  ~FlushAtEnd() {
    try {
      files.flush();
    } catch (...) {
      // A flush that fails leaves the replacements as durable as the system makes them.
    }
  }
};

}  // namespace

SelectedSetup selectSetupFile(const PackageFiles& files, SetupKind cmdVariant, Variant useEVariant,
                              const std::u16string& cifName, const std::u16string& cmdName,
                              const PatchRequest* patch) {
  const std::u16string variant = variantFileName(cmdVariant, useEVariant);
  const std::u16string& live = cmdVariant == SetupKind::Cif ? cifName : cmdName;
  SelectedSetup selected;
  std::optional<PatchedSetup> patched;
  if (patch != nullptr) {
    patched = patchWith(*patch, [&](const ByteTransform& transform) {
      const CopyEnd end = files.copyFile(variant, live, &transform);
      selected.copied = copied(end);
      return patchEnd(end);
    });
    if (patched->outcome != PatchOutcome::Skipped) {
      if (selected.copied) selected.patched = std::move(patched);
      return selected;
    }
  }
  // No patch, or one that leaves its file unopened: the copy as it is.
  selected.copied = copied(files.copyFile(variant, live, nullptr));
  if (selected.copied) selected.patched = std::move(patched);
  return selected;
}

Customization customizePackage(const PackageFiles& files, std::u16string packageCode,
                               SetupKind cmdVariant, Variant useEVariant, std::u16string market,
                               std::u16string barPc) {
  Customization done{.variantName = variantFileName(cmdVariant, useEVariant),
                     .liveName = cmdVariant == SetupKind::Cif ? kCifName : kCmdName};
  const FlushAtEnd flush{files};
  files.removeLeftovers();  // before the run's first write
  const std::vector<PatchRequest> plan =
      planPatches(packageCode, cmdVariant, useEVariant, market, barPc);
  const PatchRequest* ownPatch = patchOfTheCopy(plan, done.liveName);
  SelectedSetup selected =
      selectSetupFile(files, cmdVariant, useEVariant, kCifName, kCmdName, ownPatch);
  done.copied = selected.copied;
  if (!done.copied) return done;
  for (const PatchRequest& request : plan) {
    // The copied file's patch was made with the copy.
    PatchedSetup patched =
        &request == ownPatch ? std::move(*selected.patched) : patchInf(files, request);
    const bool stops =
        patched.outcome == PatchOutcome::TextMissing && !request.continueWhenTextMissing;
    done.patches.push_back({request, std::move(patched)});
    if (stops) break;
  }
  return done;
}
