// The pkgcustomize-check command: shows what a customisation run would do in a
// package folder and why it would fall short, without writing any file.
#pragma once

#include <string>
#include <vector>

namespace check {

// Exit statuses.
inline constexpr int kComplete = 0;    // a run would customise the package completely
inline constexpr int kIncomplete = 1;  // it would stop early or leave a file unpatched
inline constexpr int kUsageError = 2;

// Runs the command with `args` (without the program name); the report goes
// to `out`, usage errors to `err`. Returns the exit status. The current
// directory is the same afterwards.
int runCheckTool(const std::vector<std::u16string>& args, std::string& out, std::string& err);

// The program: sets the process up, runs the command and prints what it says.
int checkToolMain(const std::vector<std::u16string>& args);

}  // namespace check
