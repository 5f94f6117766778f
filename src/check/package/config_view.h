// config.xml of a package folder, read once and parsed once: every part of a
// check (the runs' settings, the lint, the fixes, the reports) uses this one
// reading of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/lint/config_lint.h"
#include "check/lint/finding.h"
#include "config/settings_load.h"

namespace check {

struct ConfigView {
  SettingsLoad load;                 // the status is not Loaded when the document did not load
  std::optional<std::string> bytes;  // nullopt: there is no file, or it cannot be read
  platform::XmlDocument document;
  ConfigOutline outline;
  EntryIndex index;  // the entries by code, for the runs of many packages
};

// config.xml of the current directory, read from the disk.
ConfigView readConfigView();

// `bytes` taken as config.xml of the current directory, whatever the disk
// holds (a test, an editor's unsaved buffer): the view the file with those
// bytes would give.
ConfigView configViewOf(std::string bytes);

// What the view shows about the file: the outline's findings, or why the
// document did not load.
std::vector<Finding> fileFindings(const ConfigView& config);

// The view's bytes, without a copy; empty when there is no file.
std::string_view bytesOf(const ConfigView& config);

// A run's settings, read from the view's document.
SettingsLookup settingsOf(const ConfigView& config);

}  // namespace check
