#include "customize/setup_file.h"

std::u16string variantFileName(std::int32_t cmdVariant, std::int32_t useEVariant) {
  if (cmdVariant == 0) return useEVariant == 0 ? u"kvsetup_o.cif" : u"kvsetup_e.cif";
  return useEVariant == 0 ? u"kv-setup_o.cmd" : u"kv-setup_e.cmd";
}

bool selectSetupFile(const PackageFiles& files, std::int32_t cmdVariant, std::int32_t useEVariant,
                     std::u16string cifName, std::u16string cmdName) {
  return files.copyFile(variantFileName(cmdVariant, useEVariant),
                        cmdVariant == 0 ? cifName : cmdName);
}

bool selectSetupFile(std::int32_t cmdVariant, std::int32_t useEVariant, std::u16string cifName,
                     std::u16string cmdName) {
  return selectSetupFile(realPackageFiles(), cmdVariant, useEVariant, std::move(cifName),
                         std::move(cmdName));
}

std::vector<PatchRequest> planPatches(const std::u16string& packageCode, std::int32_t cmdVariant,
                                      std::int32_t useEVariant, const std::u16string& market,
                                      const std::u16string& barPc) {
  const bool withValues = useEVariant == 0 && !barPc.empty();
  // The .cif file always gets the INF name; the values go into the live file
  // of the kind that was copied, and only for the "_o" variant.
  if (cmdVariant == 0 && withValues) return {{kCifName, 0, packageCode, market, true, barPc}};
  std::vector<PatchRequest> patches{{kCifName, 0, packageCode, {}, false, {}}};
  if (cmdVariant != 0 && withValues) {
    // The .cif file was not copied by this run and may already carry its INF
    // name from an earlier one; the script still needs its values then.
    patches.front().continueWhenTextMissing = true;
    patches.push_back({kCmdName, 1, {}, market, true, barPc});
  }
  return patches;
}

Customization customizePackage(const PackageFiles& files, std::u16string packageCode,
                               std::int32_t cmdVariant, std::int32_t useEVariant,
                               std::u16string market, std::u16string barPc) {
  Customization done;
  done.variantName = variantFileName(cmdVariant, useEVariant);
  done.liveName = cmdVariant == 0 ? kCifName : kCmdName;
  files.removeLeftovers();  // before the run's first write
  done.copied = selectSetupFile(files, cmdVariant, useEVariant, kCifName, kCmdName);
  if (!done.copied) return done;
  for (PatchRequest& request : planPatches(packageCode, cmdVariant, useEVariant, market, barPc)) {
    PatchedSetup patched =
        patchSetupFile(files, request.setupPath, request.cmdFile, request.packageCode,
                       request.market, request.substituteValues, request.barPc);
    const bool stops =
        patched.outcome == PatchOutcome::TextMissing && !request.continueWhenTextMissing;
    done.patches.push_back({std::move(request), std::move(patched)});
    if (stops) {
      done.stopped = true;
      break;
    }
  }
  return done;
}

void customizePackage(std::u16string packageCode, std::int32_t cmdVariant, std::int32_t useEVariant,
                      std::u16string market, std::u16string barPc) {
  const Customization done =
      customizePackage(realPackageFiles(), std::move(packageCode), cmdVariant, useEVariant,
                       std::move(market), std::move(barPc));
  if (done.stopped) throw MissingTextError();
}
