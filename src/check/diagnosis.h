// What a customisation run would do in a package folder, step by step, and
// where and why it would fall short, found without writing anything.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/settings_load.h"
#include "customize/patch_inf.h"
#include "customize/setup_file.h"

namespace check {

// How one patchInf call of the run would end.
enum class PatchVerdict {
  Rewritten,     // every substitution made and the file written
  NoFile,        // the file does not exist: nothing written
  CutShort,      // bytes follow a NUL or 0x1A: left alone
  TextMissing,   // a searched text is missing: left alone, and the run stops
                 // unless the request says it goes on
  AlreadyNamed,  // the INF name is missing because the file already names
                 // this package's INF file (an earlier run): nothing to do
  ReadOnly,      // the new text cannot be written: left alone
};

struct PatchCheck {
  PatchRequest request;
  PatchVerdict verdict = PatchVerdict::Rewritten;
  std::vector<AppliedSubstitution> applied;  // in order, up to the missing one
};

// A live file as it is now and as the run would leave it.
struct FileChange {
  std::u16string name;
  std::optional<std::string> before;  // nullopt: the file does not exist now
  std::string after;
};

struct Diagnosis {
  std::u16string launcherName;
  bool launcherGiven = false;  // named on the command line, not found in the process tree
  std::u16string packageCode;  // empty: config.xml is never read
  std::int32_t cmdVariant = 0;

  SettingsLoad load;
  PackageSettings settings;

  std::u16string variantName;  // empty: the run never gets to the copy
  std::u16string liveName;
  bool variantExists = false;
  bool liveExists = false;
  bool liveReadOnly = false;

  std::vector<PatchCheck> patches;  // the calls that would be made, in order
  std::vector<FileChange> changes;  // the live files that would change

  bool complete = false;  // the package would be customised completely
  std::u16string cause;   // otherwise: the first shortfall, in one line
};

// A file of the package folder as a diagnosis finds it.
struct FolderFile {
  std::optional<std::string> bytes;  // nullopt: missing or unreadable
  bool exists = false;
  bool readOnly = false;
};

// The files of the current directory that diagnoses have read, each read
// once: diagnoses that share it read every file once between them.
using FolderFiles = std::map<std::u16string, FolderFile>;

// Where a diagnosis gets a package's settings from.


// Diagnoses a run started by the launcher `launcherName` in the current directory.
Diagnosis diagnosePackage(const std::u16string& launcherName, bool launcherGiven);

// The same, with the settings from `lookup` and the files from `files`.
Diagnosis diagnosePackage(const std::u16string& launcherName, bool launcherGiven,
                          const SettingsLookup& lookup, FolderFiles& files);

// Why a settings load that stopped short did, in one line.
std::u16string settingsCause(const SettingsLoad& load, const std::u16string& code);

// `text` in double quotes, as causes and findings show names and codes.
std::u16string quoted(const std::u16string& text);

// `value` in decimal digits.
std::u16string number(long value);

}  // namespace check
