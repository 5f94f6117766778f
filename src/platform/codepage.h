// Conversion between wide text (UTF-16) and narrow text: the text of setup
// files, and elsewhere than on Windows also file names. Narrow text is the
// ANSI code page on Windows; elsewhere it is UTF-8, and each byte that is not
// part of valid UTF-8 converts to one code unit U+DC80..U+DCFF and back, so
// that any file name the system gives converts back to the same bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Narrow form of `text` up to its first NUL. Characters the code page lacks
// become its best-fit or default character. Throws std::runtime_error when the
// platform refuses the conversion.
std::string toNarrow(std::u16string_view text);

// Wide form of narrow `text` up to its first NUL. Throws std::runtime_error
// when the platform refuses the conversion.
std::u16string toWide(std::string_view text);

// UTF-8 form of the whole of `text`, the same on every platform, for what the
// check tool prints. U+DC80..U+DCFF stand for bytes outside UTF-8 (as POSIX
// narrow text carries them) and become those bytes again; any other unpaired
// surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view text);

// Wide form of the whole of UTF-8 `text`; each byte outside valid UTF-8
// becomes one code unit U+DC80..U+DCFF, so that toUtf8() gives it back.
std::u16string fromUtf8(std::string_view text);

// The character of the UTF-8 sequence at `pos` of `text`, advancing `pos`
// past it. When the bytes there are not valid UTF-8 (a stray or missing
// continuation byte, an overlong form, a surrogate, beyond U+10FFFF), only
// the first byte is taken, as the U+DC80..U+DCFF unit that stands for it.
char32_t decodeUtf8At(std::string_view text, std::size_t& pos);

// `unit` with an ASCII capital made small: names that compare letter case
// aside (file names, element names, HTTP-style headers) differ in ASCII only.
inline char16_t asciiLower(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}
template <typename Text>
Text asciiLowered(Text text) {
  for (auto& unit : text) unit = static_cast<typename Text::value_type>(asciiLower(unit));
  return text;
}

// The program's arguments after its name, as wide text.
inline std::vector<std::u16string> argumentsOf(int argc, char** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(toWide(argv[i]));
  return arguments;
}

}  // namespace platform
