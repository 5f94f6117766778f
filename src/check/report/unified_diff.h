// Unified diffs of text files, for showing what a run would change.
#pragma once

#include <string>
#include <string_view>

namespace check {

// How a diff shows its lines: as text to read, without their CR LF or LF
// (a CR shown as "^M" where line ends alone differ); or as the file's own
// bytes, line ends included, as patch applies them.
enum class DiffLines { Readable, OwnBytes };

// The unified diff (three lines of context) that turns `before` into `after`,
// with `name` in the headers; empty when they are equal.
std::string unifiedDiff(std::string_view before, std::string_view after, const std::string& name,
                        bool beforeExists = true, DiffLines lines = DiffLines::Readable);

}  // namespace check
