// JSON values for the check tool's reports: ASCII only, everything else as
// \u escapes of UTF-16 units.
#pragma once

#include <string>

namespace check {

std::string json(const std::u16string& text);
std::string json(const std::string& narrowText);
std::string json(bool value);
std::string json(long value);

}  // namespace check
