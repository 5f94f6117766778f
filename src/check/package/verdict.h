// Why a run falls short of customising its package, read from what it did.
#pragma once

#include <vector>

#include "app/driver.h"
#include "check/lint/config_lint.h"
#include "check/lint/finding.h"
#include "customize/dry_run_folder.h"

namespace check {

// The findings that a run's trace shows, in the order the run met them; none
// when it customised its package completely. `folder` is the dry run's view
// after the run, and `outline` gives the positions in config.xml.
std::vector<Finding> runFindings(const RunTrace& trace, DryRunFolder& folder,
                                 const ConfigOutline& outline);

// Why config.xml did not load, as a finding; `load`'s status is one of
// NoCurrentDirectory, NoConfigFile, DomUnavailable and NotParsed.
Finding configLoadFinding(const SettingsLoad& load);

// How the walk up the process tree ended, in words.
std::u16string walkEndText(WalkEnd end);

}  // namespace check
