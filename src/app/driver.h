// One customisation run, from the launcher's name to the rewritten setup files.
#pragma once

#include <cstdint>
#include <string>

#include "app/launcher.h"
#include "config/settings_load.h"
#include "customize/setup_file.h"

// What a run reads and writes: the processes it walks from `selfId`, where it
// gets a package's settings, and the package folder's files.
struct RunEnvironment {
  std::uint32_t selfId = 0;
  platform::ProcessLookup processes;  // empty: the processes cannot be listed
  SettingsLookup settings;
  PackageFiles files;
};

// Where a run ended.
enum class RunEnd {
  NoLauncherName,  // the walk found no name at all
  NoPackageCode,   // the name found holds no package code
  NoSettings,      // the package's settings could not be loaded
  NotCopied,       // the chosen variant could not be copied
  Failed,          // an error ended it (a refused conversion, memory running out)
  Finished,        // the copy was made, and its patches as far as they go
};

// What a run did, step by step.
struct RunTrace {
  LauncherSearch launcher;
  std::u16string packageCode;
  SetupKind cmdVariant = SetupKind::Cif;
  SettingsLoad load;
  PackageSettings settings;
  Customization customization;
  RunEnd end = RunEnd::NoLauncherName;
  std::string error;  // what ended it when Failed
};

// Runs one customisation in `environment` and tells what it did. Every
// failure ends the run; none escapes.
RunTrace traceCustomization(const RunEnvironment& environment);

// The processes, config.xml and files of this process and its current directory.
RunEnvironment realEnvironment();

// Runs the whole customisation of the package in the current directory. Every
// failure ends the run quietly; nothing is reported and nothing escapes.
void runCustomization() noexcept;
