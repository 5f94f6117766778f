// Conversion between wide text (UTF-16) and narrow text: the text of setup
// files, and elsewhere than on Windows also file names. Narrow text is the
// ANSI code page on Windows; elsewhere it is UTF-8, and each byte that is not
// part of valid UTF-8 converts to one code unit U+DC80..U+DCFF and back, so
// that any file name the system gives converts back to the same bytes.
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
