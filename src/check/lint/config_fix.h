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

// The text of a file with the byte offset of each of its code units.
struct SourceText {
  enum class Form { Utf8, Utf16Le, Utf16Be, SingleByte };
  Form form = Form::Utf8;
  // A single-byte encoding whose upper half is known here (windows-1252,
  // ISO-8859-1); other single-byte encodings decode it as U+FFFD.
  bool latin = false;
  bool windows1252 = false;
  std::u16string text;               // as decoded, without a byte-order mark
  std::vector<std::size_t> offsets;  // where each code unit begins, then the end of the bytes
  std::vector<std::size_t> lines;    // the index in `text` where each line begins
};

// `bytes` decoded as the byte-order mark or the XML declaration says;
// nullopt for an encoding whose characters may take several bytes other
// than UTF-8 and UTF-16, or one the DOM does not read.
std::optional<SourceText> decodeSource(std::string_view bytes);

// The line and column (UTF-16 code units, as the check reports places) of
// the code unit at `index` of `source`.
Position positionAt(const SourceText& source, std::size_t index);

// Gives each finding that can be mended with certainty its fix: those about
// config.xml, whose bytes are `bytes` and whose entries `outline` holds, and
// the leftovers of interrupted runs. The others keep none.
void planFixes(std::vector<Finding>& findings, std::string_view bytes,
               const ConfigOutline& outline);

}  // namespace check
