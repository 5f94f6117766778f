#include "check/lint/config_fix.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/codepage.h"
#include "platform/xml_encoding.h"

namespace check {

namespace {

constexpr char16_t kUnknown = 0xFFFD;

void decodeUtf16(std::string_view bytes, std::size_t from, bool bigEndian, SourceText& source) {
  for (std::size_t i = from; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    source.text += static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    source.offsets.push_back(i);
  }
}

// The length of the UTF-8 sequence at `i` and its code point; 1 and U+FFFD
// for a byte that begins none.
std::pair<std::size_t, char32_t> utf8Sequence(std::string_view bytes, std::size_t i) {
  const auto lead = static_cast<unsigned char>(bytes[i]);
  const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (lead < 0x80) return {1, lead};
  if (lead < 0xC2 || lead > 0xF4 || i + length > bytes.size()) return {1, kUnknown};
  char32_t point = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(bytes[i + k]);
    if ((next & 0xC0) != 0x80) return {1, kUnknown};
    point = point << 6 | (next & 0x3F);
  }
  return {length, point};
}

void decodeUtf8(std::string_view bytes, std::size_t from, SourceText& source) {
  for (std::size_t i = from; i < bytes.size();) {
    const auto [length, point] = utf8Sequence(bytes, i);
    if (point >= 0x10000) {
      // A surrogate pair: its bytes all count for its second unit.
      source.text += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
      source.text += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
      source.offsets.push_back(i);
    } else {
      source.text += static_cast<char16_t>(point);
    }
    source.offsets.push_back(i);
    i += length;
  }
}

void decodeSingleByte(std::string_view bytes, SourceText& source) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    char16_t unit = byte;
    if (byte >= 0x80) {
      if (!source.latin) {
        unit = kUnknown;
      } else if (source.windows1252) {
        unit = platform::windows1252Unit(byte);
      }
    }
    source.text += unit;
    source.offsets.push_back(i);
  }
}

// Lines end at CR LF, a lone CR or LF, as the DOMs count them.
std::vector<std::size_t> lineStarts(const std::u16string& text) {
  std::vector<std::size_t> lines = {0};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
    if (text[i] == u'\r' || text[i] == u'\n') lines.push_back(i + 1);
  }
  return lines;
}

// `text` in the encoding of `source`; nullopt when it cannot hold it.
std::optional<std::string> encoded(const SourceText& source, const std::u16string& text) {
  std::string bytes;
  switch (source.form) {
    case SourceText::Form::Utf8:
      return platform::toUtf8(text);
    case SourceText::Form::Utf16Le:
    case SourceText::Form::Utf16Be:
      for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += source.form == SourceText::Form::Utf16Le ? std::string{low, high}
                                                          : std::string{high, low};
      }
      return bytes;
    case SourceText::Form::SingleByte:
      for (const char16_t unit : text) {
        if (unit >= 0x80) return std::nullopt;
        bytes += static_cast<char>(unit);
      }
      return bytes;
  }
  return std::nullopt;
}

bool isBlank(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
}

bool isLineBreak(char16_t unit) {
  return unit == u'\r' || unit == u'\n';
}

bool isTrimmed(char16_t unit) {
  return isBlank(unit) || isInvisibleCharacter(unit);
}

bool isNameEnd(char16_t unit) {
  return isBlank(unit) || unit == u'>' || unit == u'/';
}

// Where an element is written: its start tag's name, its content and its end
// tag's name (none for an empty-element tag).
struct ElementSpan {
  std::size_t name = 0;
  std::size_t contentStart = 0;
  std::size_t firstMarkup = 0;  // the first "<" of its content
  std::optional<std::size_t> endName;
};

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

// The element `name` whose start tag begins at `at`; nullopt when the text
// there is not its start tag or its end tag cannot be found.
std::optional<ElementSpan> elementAt(const std::u16string& text, std::size_t at,
                                     const std::u16string& name) {
  const std::size_t nameEnd = at + 1 + name.size();
  if (nameEnd >= text.size() || text.compare(at, name.size() + 1, u"<" + name) != 0 ||
      !isNameEnd(text[nameEnd])) {
    return std::nullopt;
  }
  ElementSpan span{at + 1, pastMarkup(text, at), 0, std::nullopt};
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

// The value of the attribute `name` written at `at`: where its text begins
// and ends, between the quotes.
std::optional<std::pair<std::size_t, std::size_t>> attributeAt(const std::u16string& text,
                                                               std::size_t at,
                                                               const std::u16string& name) {
  if (text.compare(at, name.size(), name) != 0) return std::nullopt;
  std::size_t i = at + name.size();
  while (i < text.size() && isBlank(text[i])) ++i;
  if (i == text.size() || text[i] != u'=') return std::nullopt;
  ++i;
  while (i < text.size() && isBlank(text[i])) ++i;
  if (i == text.size() || (text[i] != u'"' && text[i] != u'\'')) return std::nullopt;
  const std::size_t end = text.find(text[i], i + 1);
  if (end == std::u16string::npos) return std::nullopt;
  return std::pair(i + 1, end);
}

// The name a "did you mean <NAME>?" of `message` suggests; empty when none.
std::u16string suggestion(const std::u16string& message) {
  const std::u16string ask = u"did you mean <";
  const std::size_t at = message.find(ask);
  if (at == std::u16string::npos) return {};
  const std::size_t end = message.find(u">?", at);
  if (end == std::u16string::npos) return {};
  return message.substr(at + ask.size(), end - at - ask.size());
}

bool samePlace(const Position& a, const Position& b) {
  return a.line == b.line && a.column == b.column;
}

// Plans the fixes of one file's findings.
struct Planner {
  const SourceText& source;
  const ConfigOutline& outline;
  std::set<std::u16string> codes;  // of every entry, as they are after the fixes so far

  std::optional<std::size_t> indexOf(const Position& position) const {
    if (position.line < 1 || position.column < 1 ||
        static_cast<std::size_t>(position.line) > source.lines.size()) {
      return std::nullopt;
    }
    const std::size_t index =
        source.lines[static_cast<std::size_t>(position.line - 1)] + position.column - 1;
    if (index >= source.text.size()) return std::nullopt;
    return index;
  }

  // An edit that replaces the code units from `from` to `to` with `text`.
  std::optional<TextEdit> edit(std::size_t from, std::size_t to, const std::u16string& text) const {
    const std::optional<std::string> bytes = encoded(source, text);
    if (!bytes) return std::nullopt;
    return TextEdit{source.offsets[from],
                    source.offsets[to] - source.offsets[from],
                    *bytes,
                    text,
                    positionAt(source, from),
                    positionAt(source, to)};
  }

  // Edits that remove the code units from `from` to `to` that `owned` picks.
  template <class Owned>
  void removeOwned(std::size_t from, std::size_t to, Owned owned, FileEdits& edits) const {
    for (std::size_t i = from; i < to;) {
      if (!owned(source.text[i])) {
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end < to && owned(source.text[end])) ++end;
      edits.push_back(*edit(i, end, u""));
      i = end;
    }
  }
};

const std::u16string& textOf(const Planner& planner) {
  return planner.source.text;
}

// The findings about one value element: at most one about its blanks and
// line breaks, and one about invisible characters.
struct ValueFindings {
  Finding* blanks = nullptr;
  Finding* invisible = nullptr;
};

std::u16string removedText(const std::u16string& text, std::size_t from, std::size_t to,
                           bool (*owned)(char16_t)) {
  std::u16string removed;
  for (std::size_t i = from; i < to; ++i) {
    if (owned(text[i])) removed += text[i];
  }
  return removed;
}

std::u16string aroundValue(const std::u16string& before, const std::u16string& after) {
  if (before.empty()) return u"remove " + quoted(after) + u" after the value";
  if (after.empty()) return u"remove " + quoted(before) + u" before the value";
  return u"remove " + quoted(before) + u" before and " + quoted(after) + u" after the value";
}

// Blanks, line breaks and invisible characters at the ends of a value that
// holds nothing but text, when what is left holds none of them and is not
// empty.
void planValue(const Planner& planner, const ValueFindings& found, const std::u16string& name,
               std::size_t at) {
  const std::u16string& text = textOf(planner);
  const std::optional<ElementSpan> span = elementAt(text, at, name);
  if (!span || !span->endName || span->firstMarkup + 2 != *span->endName) return;
  std::size_t from = span->contentStart;
  std::size_t to = span->firstMarkup;
  std::size_t first = from;
  while (first < to && isTrimmed(text[first])) ++first;
  std::size_t last = to;
  while (last > first && isTrimmed(text[last - 1])) --last;
  const std::u16string_view middle = std::u16string_view(text).substr(first, last - first);
  // A reference at either end may stand for a blank.
  if (middle.empty() || middle.front() == u'&' ||
      (middle.back() == u';' && middle.find(u'&') != std::u16string_view::npos) ||
      std::any_of(middle.begin(), middle.end(),
                  [](char16_t unit) { return isLineBreak(unit) || isInvisibleCharacter(unit); })) {
    return;
  }
  if (found.blanks != nullptr && found.blanks->rule == RuleId::LooksLikeO && middle != u"O") return;
  const bool invisibleEnds =
      std::any_of(text.begin() + static_cast<std::ptrdiff_t>(from),
                  text.begin() + static_cast<std::ptrdiff_t>(first), isInvisibleCharacter) ||
      std::any_of(text.begin() + static_cast<std::ptrdiff_t>(last),
                  text.begin() + static_cast<std::ptrdiff_t>(to), isInvisibleCharacter);
  if (invisibleEnds && found.invisible == nullptr) return;
  // Blanks and line breaks go with the finding about them, or with the one
  // about invisible characters when there is none.
  const auto plan = [&](Finding* finding, bool (*owned)(char16_t)) {
    FileEdits edits;
    planner.removeOwned(from, first, owned, edits);
    planner.removeOwned(last, to, owned, edits);
    if (edits.empty()) return;
    finding->fix =
        Fix{aroundValue(removedText(text, from, first, owned), removedText(text, last, to, owned)),
            std::move(edits)};
  };
  if (found.blanks != nullptr) {
    plan(found.blanks, isBlank);
    if (found.invisible != nullptr) plan(found.invisible, isInvisibleCharacter);
  } else if (found.invisible != nullptr) {
    plan(found.invisible, isTrimmed);
  }
}

// Blanks anywhere in a code, and invisible characters at its ends, removed,
// when no other entry has the code that is left.
void planCode(Planner& planner, Finding* blanks, Finding* invisible, std::size_t at) {
  const std::u16string& text = textOf(planner);
  const auto value = attributeAt(text, at, u"code");
  if (!value) return;
  const auto [from, to] = *value;
  const std::u16string code = text.substr(from, to - from);
  if (code.find_first_of(u"&<") != std::u16string::npos) return;
  std::size_t first = from;
  while (first < to && isTrimmed(text[first])) ++first;
  std::size_t last = to;
  while (last > first && isTrimmed(text[last - 1])) --last;
  const bool invisibleInside =
      std::any_of(text.begin() + static_cast<std::ptrdiff_t>(first),
                  text.begin() + static_cast<std::ptrdiff_t>(last), isInvisibleCharacter);
  if (invisibleInside) invisible = nullptr;
  if (blanks == nullptr && invisible == nullptr) return;
  std::u16string result;
  for (std::size_t i = from; i < to; ++i) {
    const bool atEnds = i < first || i >= last;
    if (!isBlank(text[i]) && !(invisible != nullptr && atEnds && isInvisibleCharacter(text[i]))) {
      result += text[i];
    }
  }
  if (result.empty() || result == code || planner.codes.contains(result)) return;
  planner.codes.insert(result);
  if (blanks != nullptr) {
    FileEdits edits;
    planner.removeOwned(from, to, isBlank, edits);
    blanks->fix =
        Fix{u"remove the blanks from the code, which becomes " + quoted(result), std::move(edits)};
  }
  if (invisible != nullptr) {
    FileEdits edits;
    planner.removeOwned(from, first, isInvisibleCharacter, edits);
    planner.removeOwned(last, to, isInvisibleCharacter, edits);
    invisible->fix = Fix{u"remove " +
                             quoted(removedText(text, from, first, isInvisibleCharacter) +
                                    removedText(text, last, to, isInvisibleCharacter)) +
                             u" from the ends of the code",
                         std::move(edits)};
  }
}

// The start and end tags of the element at `at` renamed from `name` to `to`.
void planRename(const Planner& planner, Finding& finding, std::size_t at,
                const std::u16string& to) {
  const std::u16string& name = finding.element;
  const std::optional<ElementSpan> span = elementAt(textOf(planner), at, name);
  if (!span) return;
  FileEdits edits;
  for (const std::optional<std::size_t> tag : {std::optional(span->name), span->endName}) {
    if (!tag) continue;
    const std::optional<TextEdit> renamed = planner.edit(*tag, *tag + name.size(), to);
    if (!renamed) return;
    edits.push_back(*renamed);
  }
  finding.fix = Fix{u"rename <" + name + u"> to <" + to + u">", std::move(edits)};
}

// The entry that holds the value element at `position`; null when none.
const ConfigEntry* entryHolding(const ConfigOutline& outline, const Position& position) {
  for (const ConfigEntry& entry : outline.entries) {
    for (const ConfigValue& value : entry.values) {
      if (samePlace(value.position, position)) return &entry;
    }
  }
  return nullptr;
}

// An element of an entry renamed to the value it was probably meant as, when
// the entry has no value of that name yet.
void planValueName(const Planner& planner, Finding& finding, std::size_t at,
                   std::set<std::pair<const ConfigEntry*, std::u16string>>& added) {
  const std::u16string name = suggestion(finding.message);
  const ConfigEntry* entry = entryHolding(planner.outline, finding.position);
  if (name.empty() || entry == nullptr || valueOf(*entry, name) != nullptr ||
      !added.emplace(entry, name).second) {
    return;
  }
  planRename(planner, finding, at, name);
}

// A misspelt entry renamed <binary>, when its code is one that a launcher's
// name can carry and no other entry has.
void planEntryName(Planner& planner, Finding& finding, std::size_t at) {
  if (suggestion(finding.message) != u"binary" || finding.code.empty() ||
      !whyUncarried(finding.code).empty() || planner.codes.contains(finding.code)) {
    return;
  }
  planRename(planner, finding, at, u"binary");
  if (finding.fix) planner.codes.insert(finding.code);
}

bool byPlace(const Finding* a, const Finding* b) {
  return std::pair(a->position.line, a->position.column) <
         std::pair(b->position.line, b->position.column);
}

}  // namespace

std::optional<SourceText> decodeSource(std::string_view bytes) {
  SourceText source;
  switch (platform::byteStartOf(bytes)) {
    case platform::ByteStart::Utf16LeMark:
      source.form = SourceText::Form::Utf16Le;
      decodeUtf16(bytes, 2, false, source);
      break;
    case platform::ByteStart::Utf16BeMark:
      source.form = SourceText::Form::Utf16Be;
      decodeUtf16(bytes, 2, true, source);
      break;
    case platform::ByteStart::Utf16LeBare:
      source.form = SourceText::Form::Utf16Le;
      decodeUtf16(bytes, 0, false, source);
      break;
    case platform::ByteStart::Utf16BeBare:
      source.form = SourceText::Form::Utf16Be;
      decodeUtf16(bytes, 0, true, source);
      break;
    case platform::ByteStart::Utf8Mark:
      decodeUtf8(bytes, 3, source);
      break;
    case platform::ByteStart::Plain: {
      const auto declared = platform::declaredEncodingIn(platform::declarationText(bytes));
      const platform::DomEncoding* encoding =
          declared ? platform::findDomEncoding(declared->name) : nullptr;
      if (declared && encoding == nullptr) return std::nullopt;
      const unsigned page = encoding == nullptr ? 65001 : encoding->codePage;
      const std::set<unsigned> multiByte = {1200, 12000, 932, 936, 949, 950, 51932, 50220};
      if (multiByte.contains(page)) return std::nullopt;
      if (page == 65001) {
        decodeUtf8(bytes, 0, source);
        break;
      }
      source.form = SourceText::Form::SingleByte;
      source.latin = page == 1252 || page == 28591;
      source.windows1252 = page == 1252;
      decodeSingleByte(bytes, source);
      break;
    }
  }
  source.offsets.push_back(bytes.size());
  source.lines = lineStarts(source.text);
  return source;
}

Position positionAt(const SourceText& source, std::size_t index) {
  const auto next = std::upper_bound(source.lines.begin(), source.lines.end(), index);
  const auto line = static_cast<std::size_t>(next - source.lines.begin());
  return {static_cast<long>(line), static_cast<long>(index - source.lines[line - 1] + 1)};
}

void planFixes(std::vector<Finding>& findings, std::string_view bytes,
               const ConfigOutline& outline) {
  for (Finding& f : findings) {
    if (f.rule == RuleId::LeftoverFile && !f.file.empty()) {
      f.fix =
          Fix{u"remove the file " + quoted(f.file) + u", as a complete run does", FileRemoval{}};
    }
  }
  const std::optional<SourceText> source = decodeSource(bytes);
  if (!source) return;
  Planner planner{*source, outline, {}};
  for (const ConfigEntry& entry : outline.entries) planner.codes.insert(entry.code);
  std::vector<Finding*> ordered;
  for (Finding& f : findings) {
    if (f.file == kConfigFile && !f.fix) ordered.push_back(&f);
  }
  std::stable_sort(ordered.begin(), ordered.end(), byPlace);
  // The findings about one value or code, gathered by place.
  std::map<std::pair<long, long>, ValueFindings> values;
  std::map<std::pair<long, long>, ValueFindings> codes;
  std::set<std::pair<const ConfigEntry*, std::u16string>> added;
  for (Finding* f : ordered) {
    const auto place = std::pair(f->position.line, f->position.column);
    const std::optional<std::size_t> at = planner.indexOf(f->position);
    if (!at) continue;
    switch (f->rule) {
      case RuleId::WrappedValue:
      case RuleId::BlankInValue:
      case RuleId::LooksLikeO:
        values[place].blanks = f;
        break;
      case RuleId::InvisibleCharacter:
        (f->element.empty() ? codes : values)[place].invisible = f;
        break;
      case RuleId::BlankInCode:
        codes[place].blanks = f;
        break;
      case RuleId::UnknownElement:
        planValueName(planner, *f, *at, added);
        break;
      case RuleId::UnusedEntry:
        planEntryName(planner, *f, *at);
        break;
      default:
        break;
    }
  }
  for (const auto& [place, found] : codes) {
    planCode(planner, found.blanks, found.invisible, *planner.indexOf({place.first, place.second}));
  }
  for (const auto& [place, found] : values) {
    const Finding* any = found.blanks != nullptr ? found.blanks : found.invisible;
    planValue(planner, found, any->element, *planner.indexOf({place.first, place.second}));
  }
}

}  // namespace check
