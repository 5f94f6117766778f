// The encodings of DOMDocument 3.0 and the reading of the XML declaration,
// shared by both DOMs.
#include "platform/xml_encoding.h"

#include "platform/codepage.h"

#include "platform/xml_dom.h"

#include <algorithm>
#include <iterator>

namespace platform {

namespace {

// Code page 1252 from 0x80 to 0x9F as Windows decodes it.
const char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The names DOMDocument 3.0 reads, as far as they are documented:
// - natively, and through WideCharToMultiByte: Microsoft's knowledge-base
//   article 275883, "XML encoding and DOM interface methods" (UTF-8 ...
//   UNICODE-2-0-UTF-8; US-ASCII, ISO-8859-1 to 9, WINDOWS-1250 to 1258);
// - every other name through MLang, the charsets of Internet Explorer's MIME
//   database: the names and aliases listed in "Charsets in Microsoft
//   Internet Explorer 4" (w3.org/International/ms-charset.html) and in the
//   Internet Client SDK's "Charset Recognition in IE3", with the code page
//   each maps to. "gbk" is there (an alias of gb2312, code page 936);
//   "Windows-936" is not, and the DOM refuses it.
// Left out, so refused here though the DOM may read them: names whose code
// page iconv lacks (hz-gb-2312, DOS-720, ASMO-708) and names those lists do
// not show (windows-874 and the other Thai and Vietnamese names among them).
// The aliases of us-ascii read as ASCII, those of iso-8859-1 as Latin-1.
constexpr DomEncoding kDomEncodings[] = {
    {"utf-8", 65001, nullptr},
    {"unicode-1-1-utf-8", 65001, "UTF-8"},
    {"unicode-2-0-utf-8", 65001, "UTF-8"},
    {"utf-16", 1200, nullptr},
    {"ucs-2", 1200, "UTF-16"},
    {"iso-10646-ucs-2", 1200, "UTF-16"},
    {"unicode-2-0-utf-16", 1200, "UTF-16"},
    {"ucs-4", 12000, "UCS-4"},
    {"us-ascii", 20127, nullptr},
    {"ascii", 20127, "ASCII"},
    {"ansi_x3.4-1968", 20127, "ASCII"},
    {"ansi_x3.4-1986", 20127, "ASCII"},
    {"iso-ir-6", 20127, "ASCII"},
    {"iso_646.irv:1991", 20127, "ASCII"},
    {"iso646-us", 20127, "ASCII"},
    {"us", 20127, "ASCII"},
    {"ibm367", 20127, "ASCII"},
    {"cp367", 20127, "ASCII"},
    {"csascii", 20127, "ASCII"},
    {"iso-8859-1", 28591, nullptr},
    {"iso8859-1", 28591, "ISO-8859-1"},
    {"iso_8859-1", 28591, "ISO-8859-1"},
    {"iso_8859-1:1987", 28591, "ISO-8859-1"},
    {"iso-ir-100", 28591, "ISO-8859-1"},
    {"latin1", 28591, "ISO-8859-1"},
    {"ibm819", 28591, "ISO-8859-1"},
    {"cp819", 28591, "ISO-8859-1"},
    {"iso-8859-2", 28592, "ISO-8859-2"},
    {"iso8859-2", 28592, "ISO-8859-2"},
    {"iso_8859-2", 28592, "ISO-8859-2"},
    {"iso_8859-2:1987", 28592, "ISO-8859-2"},
    {"iso-ir-101", 28592, "ISO-8859-2"},
    {"latin2", 28592, "ISO-8859-2"},
    {"l2", 28592, "ISO-8859-2"},
    {"csisolatin2", 28592, "ISO-8859-2"},
    {"iso-8859-3", 28593, "ISO-8859-3"},
    {"iso-8859-4", 28594, "ISO-8859-4"},
    {"iso_8859-4", 28594, "ISO-8859-4"},
    {"iso_8859-4:1988", 28594, "ISO-8859-4"},
    {"iso-ir-110", 28594, "ISO-8859-4"},
    {"latin4", 28594, "ISO-8859-4"},
    {"l4", 28594, "ISO-8859-4"},
    {"csisolatin4", 28594, "ISO-8859-4"},
    {"iso-8859-5", 28595, "ISO-8859-5"},
    {"iso_8859-5", 28595, "ISO-8859-5"},
    {"iso_8859-5:1988", 28595, "ISO-8859-5"},
    {"iso-ir-144", 28595, "ISO-8859-5"},
    {"cyrillic", 28595, "ISO-8859-5"},
    {"csisolatincyrillic", 28595, "ISO-8859-5"},
    {"iso-8859-6", 28596, "ISO-8859-6"},
    {"iso_8859-6", 28596, "ISO-8859-6"},
    {"iso_8859-6:1987", 28596, "ISO-8859-6"},
    {"iso-ir-127", 28596, "ISO-8859-6"},
    {"ecma-114", 28596, "ISO-8859-6"},
    {"arabic", 28596, "ISO-8859-6"},
    {"csisolatinarabic", 28596, "ISO-8859-6"},
    {"iso-8859-7", 28597, "ISO-8859-7"},
    {"iso_8859-7", 28597, "ISO-8859-7"},
    {"iso_8859-7:1987", 28597, "ISO-8859-7"},
    {"iso-ir-126", 28597, "ISO-8859-7"},
    {"ecma-118", 28597, "ISO-8859-7"},
    {"elot_928", 28597, "ISO-8859-7"},
    {"greek", 28597, "ISO-8859-7"},
    {"greek8", 28597, "ISO-8859-7"},
    {"csisolatingreek", 28597, "ISO-8859-7"},
    {"iso-8859-8", 28598, "ISO-8859-8"},
    {"iso-8859-9", 28599, "ISO-8859-9"},
    {"windows-1250", 1250, "CP1250"},
    {"x-cp1250", 1250, "CP1250"},
    {"windows-1251", 1251, "CP1251"},
    {"x-cp1251", 1251, "CP1251"},
    {"windows-1252", 1252, nullptr},
    {"windows-1253", 1253, "CP1253"},
    {"windows-1254", 1254, "CP1254"},
    {"windows-1255", 1255, "CP1255"},
    {"windows-1256", 1256, "CP1256"},
    {"windows-1257", 1257, "CP1257"},
    {"windows-1258", 1258, "CP1258"},
    {"ibm852", 852, "CP852"},
    {"cp852", 852, "CP852"},
    {"dos-862", 862, "CP862"},
    {"cp866", 866, "CP866"},
    {"ibm866", 866, "CP866"},
    {"koi8-r", 20866, "KOI8-R"},
    {"koi", 20866, "KOI8-R"},
    {"cskoi8r", 20866, "KOI8-R"},
    {"shift_jis", 932, "CP932"},
    {"x-sjis", 932, "CP932"},
    {"ms_kanji", 932, "CP932"},
    {"csshiftjis", 932, "CP932"},
    {"euc-jp", 51932, "EUC-JP"},
    {"x-euc-jp", 51932, "EUC-JP"},
    {"cseucpkdfmtjapanese", 51932, "EUC-JP"},
    {"extended_unix_code_packed_format_for_japanese", 51932, "EUC-JP"},
    {"iso-2022-jp", 50220, "ISO-2022-JP"},
    {"csiso2022jp", 50220, "ISO-2022-JP"},
    {"gb2312", 936, "CP936"},
    {"gbk", 936, "CP936"},
    {"gb_2312-80", 936, "CP936"},
    {"iso-ir-58", 936, "CP936"},
    {"chinese", 936, "CP936"},
    {"csgb2312", 936, "CP936"},
    {"csiso58gb231280", 936, "CP936"},
    {"big5", 950, "CP950"},
    {"csbig5", 950, "CP950"},
    {"x-x-big5", 950, "CP950"},
    {"ks_c_5601-1987", 949, "CP949"},
    {"ks_c_5601", 949, "CP949"},
    {"korean", 949, "CP949"},
    {"csksc56011987", 949, "CP949"},
};

bool isSpace(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
}

bool sameName(std::u16string_view name, const char* known) {
  std::size_t i = 0;
  for (; known[i] != '\0'; ++i) {
    if (i == name.size() || asciiLower(name[i]) != static_cast<char16_t>(known[i])) return false;
  }
  return i == name.size();
}

}  // namespace

char16_t windows1252Unit(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte;
}

ByteStart byteStartOf(std::string_view bytes) {
  const auto at = [&](std::size_t i) {
    return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u;
  };
  if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return ByteStart::Utf8Mark;
  if (at(0) == 0xFF && at(1) == 0xFE) return ByteStart::Utf16LeMark;
  if (at(0) == 0xFE && at(1) == 0xFF) return ByteStart::Utf16BeMark;
  if (at(0) == '<' && at(1) == 0 && at(2) == '?' && at(3) == 0) return ByteStart::Utf16LeBare;
  if (at(0) == 0 && at(1) == '<' && at(2) == 0 && at(3) == '?') return ByteStart::Utf16BeBare;
  return ByteStart::Plain;
}

std::u16string utf16Text(std::string_view bytes, bool bigEndian, std::size_t limit) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size() && text.size() < limit; i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    text += static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
  }
  return text;
}

std::u16string declarationText(std::string_view bytes, std::size_t limit) {
  switch (byteStartOf(bytes)) {
    case ByteStart::Utf16LeMark:
      return utf16Text(bytes.substr(2), false, limit);
    case ByteStart::Utf16BeMark:
      return utf16Text(bytes.substr(2), true, limit);
    case ByteStart::Utf16LeBare:
      return utf16Text(bytes, false, limit);
    case ByteStart::Utf16BeBare:
      return utf16Text(bytes, true, limit);
    case ByteStart::Utf8Mark:
      bytes.remove_prefix(3);
      break;
    case ByteStart::Plain:
      break;
  }
  std::u16string text;
  for (const char byte : bytes.substr(0, limit)) text += static_cast<unsigned char>(byte);
  return text;
}

std::optional<DeclaredEncoding> declaredEncodingIn(std::u16string_view text) {
  constexpr std::u16string_view kStart = u"<?xml";
  if (!text.starts_with(kStart) || text.size() == kStart.size() || !isSpace(text[kStart.size()])) {
    return std::nullopt;
  }
  // Pseudo-attributes: name, '=', a quoted value, up to "?>".
  std::size_t pos = kStart.size();
  for (;;) {
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    const std::size_t nameStart = pos;
    while (pos < text.size() && !isSpace(text[pos]) && text[pos] != u'=' && text[pos] != u'?') {
      ++pos;
    }
    const std::u16string_view name = text.substr(nameStart, pos - nameStart);
    if (name.empty()) return std::nullopt;
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    if (pos == text.size() || text[pos] != u'=') return std::nullopt;
    ++pos;
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    if (pos == text.size() || (text[pos] != u'"' && text[pos] != u'\'')) return std::nullopt;
    const std::size_t valueStart = pos + 1;
    const std::size_t valueEnd = text.find(text[pos], valueStart);
    if (valueEnd == std::u16string_view::npos) return std::nullopt;
    if (name == u"encoding") {
      return DeclaredEncoding{std::u16string(text.substr(valueStart, valueEnd - valueStart)),
                              valueStart};
    }
    pos = valueEnd + 1;
  }
}

const DomEncoding* findDomEncoding(std::u16string_view name) {
  const auto found = std::find_if(std::begin(kDomEncodings), std::end(kDomEncodings),
                                  [&](const DomEncoding& e) { return sameName(name, e.name); });
  return found == std::end(kDomEncodings) ? nullptr : found;
}

std::optional<std::u16string> declaredEncodingOf(std::string_view bytes) {
  const std::optional<DeclaredEncoding> declared = declaredEncodingIn(declarationText(bytes));
  if (!declared) return std::nullopt;
  return declared->name;
}

}  // namespace platform
