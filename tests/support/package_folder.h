// Package folders for scenario tests: the tool is started in one by a launcher
// stub, as a package's launcher starts it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace scenario {

using testing_support::Folder;
using testing_support::readFolder;
using testing_support::with;
using testing_support::without;
using testing_support::writeFolder;

// A package folder with config.xml, the four variants and a live .cif file.
// Codes: TR0107 ("O", barPc 1A2B, market de-de) and TR0200 ("E", fr-fr).
Folder samplePackage();

// Launchers of the sample's packages: the .cif kind (x) and the .cmd kind (l).
inline const std::string kO = "TRKVpack_v2_TR0107_x.exe";
inline const std::string kOCmd = "TRKVpack_v2_TR0107_xl.exe";
inline const std::string kECmd = "TRKVpack_v2_TR0200_l.exe";

// The live .cif file after the typical run, by kO.
inline const std::string kCifOPatched =
    "[Setup]\r\nInf=INSTALL_TR0107.INF\r\nBar=1A2B\r\nMarket=de-de\r\n";

// The command that starts the tool through a copy of the launcher stub named
// `launcherName` placed in `stubDir` (with an intermediate process between
// them when asked), followed by `arguments` for the tool.
std::vector<std::filesystem::path> launchCommand(const std::filesystem::path& stubDir,
                                                 const std::string& launcherName,
                                                 bool throughIntermediate,
                                                 const std::vector<std::string>& arguments = {});

}  // namespace scenario
