// UTF-8 to and from UTF-16, the same on every platform. A byte that is not
// part of valid UTF-8 becomes one code unit U+DC80 to U+DCFF (a lone low
// surrogate, which no valid text holds) and turns back into that byte, so
// that any bytes round-trip.
#include "platform/codepage.h"

namespace platform {

namespace {

bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

void appendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (point >> 18));
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

// The code unit that stands for a byte outside valid UTF-8, and back.
constexpr char16_t kEscapeBase = 0xDC00;
bool isEscapedByte(char16_t unit) {
  return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

}  // namespace

char32_t decodeUtf8At(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  const char32_t escaped = kEscapeBase + lead;
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t extra;
  char32_t point;
  char32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, point = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, point = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, point = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return escaped;
  }
  if (text.size() - pos <= extra) {
    ++pos;
    return escaped;
  }
  for (std::size_t i = 1; i <= extra; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return escaped;
    }
    point = (point << 6) | (next & 0x3F);
  }
  if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
    ++pos;
    return escaped;
  }
  pos += extra + 1;
  return point;
}

std::string toUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      appendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (isEscapedByte(unit)) {
      out += static_cast<char>(unit - kEscapeBase);
    } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      appendUtf8(out, 0xFFFD);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

std::u16string fromUtf8(std::string_view text) {
  // Never more code units than bytes: only four bytes make two units.
  std::u16string out(text.size(), u'\0');
  std::size_t length = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {  // most text: a byte is a unit
      out[length++] = lead;
      ++pos;
      continue;
    }
    const char32_t point = decodeUtf8At(text, pos);
    if (point < 0x10000) {
      out[length++] = static_cast<char16_t>(point);
    } else {
      out[length++] = static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
      out[length++] = static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
    }
  }
  out.resize(length);
  return out;
}

}  // namespace platform
