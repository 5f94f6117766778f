// Standard input and output as bytes, untranslated: a CR LF in a message is
// the sender's, and an LF written stays one. What a program that speaks a
// protocol over them, or reads a file's bytes from them, needs.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// Reads what standard input has, at least one byte: how many, 0 at its end
// or on an error.
std::size_t readStandardInput(std::span<char> buffer);

// Everything standard input has, up to its end or an error.
inline std::string readStandardInputToEnd() {
  std::string bytes;
  char buffer[1 << 16];
  while (const std::size_t n = readStandardInput(buffer)) bytes.append(buffer, n);
  return bytes;
}

// Writes all of `bytes` to standard output; false when it is closed.
bool writeStandardOutputBytes(std::string_view bytes);

}  // namespace platform
