// config.xml's text as the DOM decodes it, with where each line begins: what
// turns the places the check reports into places in the text, and back.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "check/lint/finding.h"
#include "platform/xml_text.h"

namespace check {

struct SourceText {
  platform::XmlText xml;           // the text, with the byte offset of each code unit
  std::vector<std::size_t> lines;  // the index in the text where each line begins
};

// `bytes` decoded, lines ending at CR LF, a lone CR or LF as the DOMs count
// them; nullopt when the encoding is not one decoded here.
std::optional<SourceText> decodeSource(std::string_view bytes);

// The line and column (UTF-16 code units, as the check reports places) of
// the code unit at `index` of `source`.
Position positionAt(const SourceText& source, std::size_t index);

}  // namespace check
