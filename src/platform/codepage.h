// Conversion between wide text (UTF-16) and the narrow text of setup files:
// the ANSI code page on Windows, UTF-8 elsewhere.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Narrow form of `text` up to its first NUL. Characters the code page lacks
// become its best-fit or default character. Throws std::runtime_error when the
// platform refuses the conversion.
std::string toNarrow(std::u16string_view text);

// Wide form of narrow `text` up to its first NUL. Throws std::runtime_error
// when the platform refuses the conversion.
std::u16string toWide(std::string_view text);

}  // namespace platform
