// Narrow text is the ANSI code page, converted as the system converts it by default.
#include "platform/codepage.h"

#include <windows.h>

#include <stdexcept>

#include "platform/wide.h"

namespace platform {

namespace {

[[noreturn]] void throwConversionError() {
  throw std::runtime_error("text conversion refused, error " + std::to_string(GetLastError()));
}

}  // namespace

std::string toNarrow(std::u16string_view text) {
  text = text.substr(0, text.find(u'\0'));
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_ACP, 0, asWide(text.data()), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) throwConversionError();
  std::string out(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, asWide(text.data()), length, out.data(), size, nullptr,
                          nullptr) != size) {
    throwConversionError();
  }
  return out;
}

std::u16string toWide(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (size <= 0) throwConversionError();
  std::u16string out(static_cast<std::size_t>(size), u'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text.data(), length, asWide(out.data()), size) != size) {
    throwConversionError();
  }
  return out;
}

}  // namespace platform
