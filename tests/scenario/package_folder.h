// Package folders for scenario tests: the tool is started in one by a launcher
// stub, as a package's launcher starts it.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace scenario {

using Folder = std::map<std::string, std::string>;  // file name to bytes

// A package folder with config.xml, the four variants and a live .cif file.
// Codes: TR0107 ("O", barPc 1A2B, market de-de) and TR0200 ("E", fr-fr).
Folder samplePackage();

// The same folder with one file set, or removed.
Folder with(Folder folder, const std::string& name, const std::string& bytes);
Folder without(Folder folder, const std::string& name);

// Writes `folder` into `dir` and marks the files named in `readOnly`.
void writeFolder(const std::filesystem::path& dir, const Folder& folder,
                 const std::vector<std::string>& readOnly = {});

// Every file of `dir` with its bytes.
Folder readFolder(const std::filesystem::path& dir);

// The command that starts the tool through a copy of the launcher stub named
// `launcherName` placed in `stubDir` (with an intermediate process between
// them when asked), followed by `arguments` for the tool.
std::vector<std::filesystem::path> launchCommand(const std::filesystem::path& stubDir,
                                                 const std::string& launcherName,
                                                 bool throughIntermediate,
                                                 const std::vector<std::string>& arguments = {});

}  // namespace scenario
