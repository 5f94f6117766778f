// Narrow text is UTF-8, and file names are bytes that need not be UTF-8 at
// all. So that every name the system gives round-trips, each byte that is not
// part of valid UTF-8 becomes one code unit U+DC80 to U+DCFF and turns back
// into that byte (see codepage_utf8.cpp). Other unpaired surrogates become
// '?', the way a code page's default character stands in for what it cannot
// hold.
#include "platform/codepage.h"

#include <algorithm>

namespace platform {

std::string toNarrow(std::u16string_view text) {
  text = text.substr(0, text.find(u'\0'));
  // Most text holds no surrogate, and nothing to mark.
  if (std::none_of(text.begin(), text.end(),
                   [](char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; })) {
    return toUtf8(text);
  }
  std::u16string marked(text);
  for (std::size_t i = 0; i < marked.size(); ++i) {
    const char16_t unit = marked[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    if (high && i + 1 < marked.size() && marked[i + 1] >= 0xDC00 && marked[i + 1] <= 0xDFFF) {
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF && !(unit >= 0xDC80 && unit <= 0xDCFF)) {
      marked[i] = u'?';
    }
  }
  return toUtf8(marked);
}

std::u16string toWide(std::string_view text) {
  return fromUtf8(text.substr(0, text.find('\0')));
}

}  // namespace platform
