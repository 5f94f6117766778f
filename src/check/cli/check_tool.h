// The pkgcustomize-check command: shows what a customisation run would do in a
// package folder and what keeps it from customising the package as meant;
// with --fix, mends config.xml and removes leftovers where that is certain.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace check {

// Exit statuses.
inline constexpr int kNoErrors = 0;    // nothing keeps the package from being customised
inline constexpr int kErrors = 1;      // an error (with --strict: or a warning) was found
inline constexpr int kUsageError = 2;  // bad arguments, or a folder that cannot be read

// Runs the command with `args` (without the program name) and `input` as
// what standard input holds; the report goes to `out`, usage and I/O errors
// to `err`, both UTF-8. Returns the exit status. The current directory is
// the same afterwards.
int runCheckTool(const std::vector<std::u16string>& args, std::string& out, std::string& err,
                 std::string_view input = {});

// The program: sets the process up, runs the command and prints what it says.
int checkToolMain(const std::vector<std::u16string>& args);

}  // namespace check
