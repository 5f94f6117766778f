#include "platform/xml_text.h"

#include <set>

#include "platform/codepage.h"
#include "platform/xml_encoding.h"

namespace platform {

namespace {

void decodeUtf16(std::string_view bytes, std::size_t from, bool bigEndian, XmlText& decoded) {
  decoded.encoding = bigEndian ? TextEncoding::Utf16Be : TextEncoding::Utf16Le;
  decoded.text = utf16Text(bytes.substr(from), bigEndian, bytes.size());
  decoded.offsets.reserve(decoded.text.size() + 1);
  for (std::size_t i = 0; i < decoded.text.size(); ++i) decoded.offsets.push_back(from + 2 * i);
}

void decodeUtf8(std::string_view bytes, std::size_t from, XmlText& decoded) {
  decoded.text.reserve(bytes.size() - from);
  decoded.offsets.reserve(bytes.size() - from + 1);
  for (std::size_t pos = from; pos < bytes.size();) {
    const std::size_t start = pos;
    if (static_cast<unsigned char>(bytes[pos]) < 0x80) {  // most of a file: one byte, one unit
      decoded.text += static_cast<char16_t>(bytes[pos++]);
      decoded.offsets.push_back(start);
      continue;
    }
    const char32_t point = decodeUtf8At(bytes, pos);
    if (point >= 0x10000) {
      // A surrogate pair: its bytes all count for its second unit.
      decoded.text += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
      decoded.text += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
      decoded.offsets.push_back(start);
    } else {
      decoded.text += static_cast<char16_t>(point);
    }
    decoded.offsets.push_back(start);
  }
}

void decodeSingleByte(std::string_view bytes, XmlText& decoded) {
  decoded.text.reserve(bytes.size());
  decoded.offsets.reserve(bytes.size() + 1);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    char16_t unit = byte;
    if (byte >= 0x80 && decoded.encoding == TextEncoding::Windows1252) {
      unit = windows1252Unit(byte);
    } else if (byte >= 0x80 && decoded.encoding == TextEncoding::OtherSingleByte) {
      unit = 0xFFFD;
    }
    decoded.text += unit;
    decoded.offsets.push_back(i);
  }
}

// The encoding that the declaration of plain bytes names, UTF-8 when none;
// nullopt when it is not decoded here.
std::optional<TextEncoding> declaredTextEncoding(std::string_view bytes) {
  const auto declared = declaredEncodingIn(declarationText(bytes));
  if (!declared) return TextEncoding::Utf8;
  const DomEncoding* encoding = findDomEncoding(declared->name);
  if (encoding == nullptr) return std::nullopt;
  const std::set<unsigned> multiByte = {1200, 12000, 932, 936, 949, 950, 51932, 50220};
  if (multiByte.contains(encoding->codePage)) return std::nullopt;
  switch (encoding->codePage) {
    case 65001:
      return TextEncoding::Utf8;
    case 1252:
      return TextEncoding::Windows1252;
    case 28591:
      return TextEncoding::Latin1;
    default:
      return TextEncoding::OtherSingleByte;
  }
}

// The byte that stands for `unit` in a single-byte `encoding`; -1 when none
// does.
int singleByte(TextEncoding encoding, char16_t unit) {
  if (unit < 0x80) return unit;
  if (encoding == TextEncoding::Latin1) return unit <= 0xFF ? unit : -1;
  if (encoding != TextEncoding::Windows1252) return -1;
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    if (windows1252Unit(static_cast<unsigned char>(byte)) == unit) return byte;
  }
  return -1;
}

}  // namespace

std::optional<XmlText> decodeXmlText(std::string_view bytes) {
  XmlText decoded;
  switch (byteStartOf(bytes)) {
    case ByteStart::Utf16LeMark:
    case ByteStart::Utf16BeMark:
      decodeUtf16(bytes, 2, byteStartOf(bytes) == ByteStart::Utf16BeMark, decoded);
      break;
    case ByteStart::Utf16LeBare:
    case ByteStart::Utf16BeBare:
      decodeUtf16(bytes, 0, byteStartOf(bytes) == ByteStart::Utf16BeBare, decoded);
      break;
    case ByteStart::Utf8Mark:
      decodeUtf8(bytes, 3, decoded);
      break;
    case ByteStart::Plain: {
      const std::optional<TextEncoding> encoding = declaredTextEncoding(bytes);
      if (!encoding) return std::nullopt;
      decoded.encoding = *encoding;
      if (*encoding == TextEncoding::Utf8) {
        decodeUtf8(bytes, 0, decoded);
      } else {
        decodeSingleByte(bytes, decoded);
      }
      break;
    }
  }
  decoded.offsets.push_back(bytes.size());
  return decoded;
}

std::optional<std::string> encodeXmlText(TextEncoding encoding, std::u16string_view text) {
  std::string bytes;
  switch (encoding) {
    case TextEncoding::Utf8:
      return toUtf8(text);
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
      for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes +=
            encoding == TextEncoding::Utf16Le ? std::string{low, high} : std::string{high, low};
      }
      return bytes;
    default:
      for (const char16_t unit : text) {
        const int byte = singleByte(encoding, unit);
        if (byte < 0) return std::nullopt;
        bytes += static_cast<char>(byte);
      }
      return bytes;
  }
}

}  // namespace platform
