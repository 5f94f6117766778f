// What the check tool prints: UTF-8 text written to the standard output or
// error, so that every character arrives whole whatever the system's code
// pages are.
#pragma once

#include <string_view>

namespace platform {

// Writes `utf8` to the standard output or error. A Windows console is given
// the text as UTF-16, so that it draws every character it has a glyph for;
// a file, a pipe or a terminal elsewhere receives the UTF-8 bytes as they
// are. Nothing is reported when the output is closed or full.
void writeStandardOutput(std::string_view utf8);
void writeStandardError(std::string_view utf8);

}  // namespace platform
