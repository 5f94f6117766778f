// The mends that are certain, as edits of config.xml's bytes at the places
// the check reports: everything outside the edited ranges stays as it is,
// byte for byte, in the file's own encoding.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/lint/config_lint.h"
#include "check/lint/finding.h"

namespace check {

// Gives each finding that can be mended with certainty its fix: those about
// config.xml, whose bytes are `bytes` and whose entries `outline` holds, and
// the leftovers of interrupted runs. The others keep none.
void planFixes(std::vector<Finding>& findings, std::string_view bytes,
               const ConfigOutline& outline);

// The text of `bytes`, decoded as the DOM decodes them, as UTF-8; the bytes
// themselves when they cannot be decoded.
std::string readableText(std::string_view bytes);

}  // namespace check
