// Standard input and output as bytes, untranslated: a CR LF in a message is
// the client's, and an LF written stays one.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace check::lsp {

// Reads what standard input has, at least one byte: how many, 0 at its end
// or on an error.
std::size_t readStandardInput(std::span<char> buffer);

// Writes all of `bytes` to standard output; false when it is closed.
bool writeStandardOutput(std::string_view bytes);

}  // namespace check::lsp
