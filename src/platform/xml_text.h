// A document's bytes decoded as the XML DOMs decode them, with the byte
// offset of each code unit: for tools that show or edit a document's text in
// place, outside the DOM.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The encodings decoded here: UTF-8, UTF-16 in either byte order, and the
// single-byte ones, whose upper half is known for windows-1252 and
// ISO-8859-1 and decoded as U+FFFD for the others.
enum class TextEncoding { Utf8, Utf16Le, Utf16Be, Windows1252, Latin1, OtherSingleByte };

struct XmlText {
  TextEncoding encoding = TextEncoding::Utf8;
  std::u16string text;               // as decoded, without a byte-order mark
  std::vector<std::size_t> offsets;  // where each code unit begins, then the end of the bytes
};

// `bytes` decoded as the byte-order mark or the XML declaration says, UTF-8
// by the rules of fromUtf8(); nullopt for an encoding whose characters may
// take several bytes other than UTF-8 and UTF-16, or one the DOM does not
// read.
std::optional<XmlText> decodeXmlText(std::string_view bytes);

// `text` in `encoding`, without a byte-order mark; nullopt when the encoding
// cannot hold it (of the single-byte encodings other than windows-1252 and
// ISO-8859-1, ASCII only).
std::optional<std::string> encodeXmlText(TextEncoding encoding, std::u16string_view text);

}  // namespace platform
