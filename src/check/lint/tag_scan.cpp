#include "check/lint/tag_scan.h"

#include <algorithm>
#include <string_view>

namespace check {

bool isXmlSpace(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
}

namespace {

bool isNameEnd(char16_t unit) {
  return isXmlSpace(unit) || unit == u'>' || unit == u'/';
}

// The index just past the "?>", "-->", "]]>" or ">" that ends the markup at
// `at`, skipping quoted values in tags; npos when it does not end.
std::size_t pastMarkup(const std::u16string& text, std::size_t at) {
  const std::u16string_view rest = std::u16string_view(text).substr(at);
  for (const auto& [open, close] :
       {std::pair(u"<!--", u"-->"), std::pair(u"<![CDATA[", u"]]>"), std::pair(u"<?", u"?>")}) {
    if (rest.starts_with(open)) {
      const std::size_t end = text.find(close, at);
      return end == std::u16string::npos ? end : end + std::u16string_view(close).size();
    }
  }
  for (std::size_t i = at; i < text.size(); ++i) {
    if (text[i] == u'"' || text[i] == u'\'') {
      i = text.find(text[i], i + 1);
      if (i == std::u16string::npos) return i;
    } else if (text[i] == u'>') {
      return i + 1;
    }
  }
  return std::u16string::npos;
}

}  // namespace

std::optional<ElementSpan> elementAt(const std::u16string& text, std::size_t at,
                                     const std::u16string& name) {
  const std::size_t nameEnd = at + 1 + name.size();
  if (nameEnd >= text.size() || text.compare(at, name.size() + 1, u"<" + name) != 0 ||
      !isNameEnd(text[nameEnd])) {
    return std::nullopt;
  }
  ElementSpan span{at + 1, pastMarkup(text, at), {}, std::nullopt};
  if (span.contentStart == std::u16string::npos) return std::nullopt;
  span.firstMarkup = text.find(u'<', span.contentStart);
  if (text[span.contentStart - 2] == u'/') {
    span.firstMarkup = span.contentStart;
    return span;
  }
  int depth = 1;
  for (std::size_t i = span.firstMarkup; i != std::u16string::npos; i = text.find(u'<', i)) {
    if (text.compare(i, 2, u"</") == 0 && --depth == 0) {
      if (text.compare(i + 2, name.size(), name) != 0 ||
          !isNameEnd(text[std::min(i + 2 + name.size(), text.size() - 1)])) {
        return std::nullopt;
      }
      span.endName = i + 2;
      return span;
    }
    const bool element = text.compare(i, 2, u"<!") != 0 && text.compare(i, 2, u"<?") != 0 &&
                         text.compare(i, 2, u"</") != 0;
    const std::size_t end = pastMarkup(text, i);
    if (end == std::u16string::npos) return std::nullopt;
    if (element && text[end - 2] != u'/') ++depth;
    i = end;
  }
  return std::nullopt;
}

std::optional<std::pair<std::size_t, std::size_t>> attributeAt(const std::u16string& text,
                                                               std::size_t at,
                                                               const std::u16string& name) {
  if (text.compare(at, name.size(), name) != 0) return std::nullopt;
  std::size_t i = at + name.size();
  while (i < text.size() && isXmlSpace(text[i])) ++i;
  if (i == text.size() || text[i] != u'=') return std::nullopt;
  ++i;
  while (i < text.size() && isXmlSpace(text[i])) ++i;
  if (i == text.size() || (text[i] != u'"' && text[i] != u'\'')) return std::nullopt;
  const std::size_t end = text.find(text[i], i + 1);
  if (end == std::u16string::npos) return std::nullopt;
  return std::pair(i + 1, end);
}

}  // namespace check
