// The per-package settings and their lookup in the package folder's config.xml.
#pragma once

#include <string>

#include "customize/setup_kind.h"

struct PackageSettings {
  Variant useEVariant = Variant::O;  // the setup-file variants to put in place
  std::u16string barPc = u"B8DF";
  std::u16string market = u"en-us";
};

// Fills `settings` from the entry of config.xml, in the current directory,
// whose code is `packageCode`; true when every mandatory value was found and
// stored. COM must be initialised on this thread.
bool loadPackageSettings(PackageSettings& settings, std::u16string packageCode);

// Copies of the record's strings.
std::u16string getBarPc(const PackageSettings& settings);
std::u16string getMarket(const PackageSettings& settings);
