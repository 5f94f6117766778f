#include "customize/setup_file.h"

#include "customize/patch_inf.h"
#include "customize/setup_text.h"
#include "platform/files.h"

std::u16string variantFileName(std::int32_t cmdVariant, std::int32_t useEVariant) {
  if (cmdVariant == 0) return useEVariant == 0 ? u"kvsetup_o.cif" : u"kvsetup_e.cif";
  return useEVariant == 0 ? u"kv-setup_o.cmd" : u"kv-setup_e.cmd";
}

bool selectSetupFile(std::int32_t cmdVariant, std::int32_t useEVariant, std::u16string cifName,
                     std::u16string cmdName) {
  return platform::copyFile(variantFileName(cmdVariant, useEVariant),
                            cmdVariant == 0 ? cifName : cmdName);
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

void customizePackage(std::u16string packageCode, std::int32_t cmdVariant, std::int32_t useEVariant,
                      std::u16string market, std::u16string barPc) {
  platform::removeLeftovers();
  if (!selectSetupFile(cmdVariant, useEVariant, kCifName, kCmdName)) return;
  for (const PatchRequest& patch :
       planPatches(packageCode, cmdVariant, useEVariant, market, barPc)) {
    try {
      patchInf(patch.setupPath, patch.cmdFile, patch.packageCode, patch.market,
               patch.substituteValues, patch.barPc);
    } catch (const MissingTextError&) {
      if (!patch.continueWhenTextMissing) throw;
    }
  }
}
