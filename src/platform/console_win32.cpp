// A console is written in UTF-16 with WriteConsoleW, which draws every
// character whatever the console's code page; anything else (a file, a pipe,
// a CI log) receives the UTF-8 bytes unchanged.
#include "platform/console.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/codepage.h"
#include "platform/wide.h"

namespace platform {

namespace {

// Code units per WriteConsoleW call: consoles refuse very large writes.
constexpr std::size_t kConsolePiece = 8192;

void writeConsole(HANDLE console, std::u16string_view text) {
  while (!text.empty()) {
    std::size_t piece = std::min(text.size(), kConsolePiece);
    // A surrogate pair stays in one piece.
    if (piece < text.size() && text[piece - 1] >= 0xD800 && text[piece - 1] <= 0xDBFF) --piece;
    DWORD written = 0;
    if (!WriteConsoleW(console, asWide(text.data()), static_cast<DWORD>(piece), &written,
                       nullptr) ||
        written == 0) {
      return;
    }
    text.remove_prefix(std::min<std::size_t>(written, text.size()));
  }
}

void writeFile(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), size, &written, nullptr) || written == 0) return;
    bytes.remove_prefix(written);
  }
}

void write(DWORD which, std::string_view utf8) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    writeConsole(handle, fromUtf8(utf8));
  } else {
    writeFile(handle, utf8);
  }
}

}  // namespace

void writeStandardOutput(std::string_view utf8) {
  write(STD_OUTPUT_HANDLE, utf8);
}

void writeStandardError(std::string_view utf8) {
  write(STD_ERROR_HANDLE, utf8);
}

}  // namespace platform
