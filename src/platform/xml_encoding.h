// What both XML DOMs need to know about a document's encoding: the name its
// XML declaration gives, and the names that the Windows DOM reads, with the
// code page it reads each with. Internal to the platform layer.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// How the bytes of a document begin: with a byte-order mark, or with "<?" in
// UTF-16 without one; plain for every other encoding.
enum class ByteStart { Plain, Utf8Mark, Utf16LeMark, Utf16BeMark, Utf16LeBare, Utf16BeBare };
ByteStart byteStartOf(std::string_view bytes);

// The character a byte of code page 1252 stands for as Windows decodes it:
// from 0x80 to 0x9F its own table, its five unassigned bytes as the C1
// controls of the same value (where iconv refuses them); the other bytes are
// their own code points.
char16_t windows1252Unit(unsigned char byte);

// UTF-16 `bytes` in the given byte order, at most `limit` code units.
std::u16string utf16Text(std::string_view bytes, bool bigEndian, std::size_t limit);

// The first characters of a document, at most `limit`, by default enough for
// its XML declaration, which is ASCII in every encoding but UTF-16; no
// byte-order mark. Bytes of other encodings are one character each.
std::u16string declarationText(std::string_view bytes, std::size_t limit = 1024);

// The encoding name in the XML declaration at the start of `text` (the
// document's first characters), as written, and where it stands in `text`;
// nullopt when `text` starts with no declaration or it names no encoding.
struct DeclaredEncoding {
  std::u16string name;
  std::size_t offset = 0;
};
std::optional<DeclaredEncoding> declaredEncodingIn(std::u16string_view text);

// An encoding name that DOMDocument 3.0 reads, and how.
struct DomEncoding {
  const char* name;    // lower case; names match case-insensitively
  unsigned codePage;   // the Windows code page it decodes with
  const char* readAs;  // the name libxml2 decodes it the same way under; null: its own
};

// The entry for `name`; null when DOMDocument 3.0 refuses the name.
const DomEncoding* findDomEncoding(std::u16string_view name);

}  // namespace platform
