// Unified diffs of text files, for showing what a run would change.
#pragma once

#include <string>
#include <string_view>

namespace check {

// The unified diff (three lines of context) that turns `before` into `after`,
// with `name` in the headers; empty when they are equal. Lines are shown
// without their CR LF or LF.
std::string unifiedDiff(std::string_view before, std::string_view after, const std::string& name,
                        bool beforeExists = true);

}  // namespace check
