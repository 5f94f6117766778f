// A customisation run made by the check tool: the run's own code, over a
// view of the package folder that keeps every write in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/driver.h"
#include "check/lint/finding.h"
#include "check/package/config_view.h"
#include "customize/dry_run_folder.h"

namespace check {

// The processes of a run started by the launcher file `launcher`: the tool,
// the launcher under its file name (a process name has no folder), and the
// desktop shell that started it. The walk starts at `selfId`.
struct StartedBy {
  std::uint32_t selfId = 0;
  platform::ProcessLookup processes;
};
StartedBy startedBy(const std::u16string& launcher);

// A live file as it is now and as the run leaves it.
struct FileChange {
  std::u16string name;
  std::optional<std::string> before;  // nullopt: the file does not exist now
  std::string after;
};

struct CheckedRun {
  RunTrace trace;
  std::vector<Finding> findings;  // why the run falls short of customising the package
  std::vector<FileChange> changes;
};

// True when the run customises the package completely: what it meets is no
// error (the run's own findings all are, and a broken script is one).
bool isComplete(const CheckedRun& run);

// The temporary files that interrupted runs left in the current directory,
// one finding each: they would ship with the package.
std::vector<Finding> leftoverFindings();

// Whether the changes of a run are wanted, told from its trace; none given:
// they are. --all keeps those of the first run of each outcome only, and a
// change holds two copies of a file.
using KeepChanges = std::function<bool(const RunTrace&)>;

// Runs the customisation in the current directory with the processes given,
// settings from `config` and files read through `disk`, writing nothing. The
// run keeps no reference to `disk` or `config`.
CheckedRun checkRun(const StartedBy& start, const ConfigView& config, DiskFiles& disk,
                    const KeepChanges& keepChanges = {});

}  // namespace check
