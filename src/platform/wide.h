// Views UTF-16 strings as the Windows API's wchar_t strings (Windows only).
#pragma once

#include <string>
#include <vector>

namespace platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Windows layer needs a 16-bit wchar_t");

inline const wchar_t* asWide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
inline wchar_t* asWide(char16_t* text) {
  return reinterpret_cast<wchar_t*>(text);
}
inline std::u16string fromWide(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}
inline std::u16string fromWide(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// The program's arguments after its name.
inline std::vector<std::u16string> argumentsOf(int argc, wchar_t** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(fromWide(argv[i]));
  return arguments;
}

}  // namespace platform
