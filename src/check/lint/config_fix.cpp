#include "check/lint/config_fix.h"

#include <algorithm>
#include <map>
#include <set>

#include "check/lint/source_text.h"
#include "check/lint/tag_scan.h"
#include "platform/codepage.h"
#include "platform/xml_text.h"

namespace check {

namespace {

bool isLineBreak(char16_t unit) {
  return unit == u'\r' || unit == u'\n';
}

bool isTrimmed(char16_t unit) {
  return isXmlSpace(unit) || isInvisibleCharacter(unit);
}

// Where the text from `from` to `to` begins and ends without the blanks and
// invisible characters around it.
std::pair<std::size_t, std::size_t> trimmed(const std::u16string& text, std::size_t from,
                                            std::size_t to) {
  while (from < to && isTrimmed(text[from])) ++from;
  while (to > from && isTrimmed(text[to - 1])) --to;
  return {from, to};
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
    if (index >= source.xml.text.size()) return std::nullopt;
    return index;
  }

  // An edit that replaces the code units from `from` to `to` with `text`.
  std::optional<TextEdit> edit(std::size_t from, std::size_t to, const std::u16string& text) const {
    const std::optional<std::string> bytes = platform::encodeXmlText(source.xml.encoding, text);
    if (!bytes) return std::nullopt;
    return TextEdit{source.xml.offsets[from],
                    source.xml.offsets[to] - source.xml.offsets[from],
                    *bytes,
                    text,
                    positionAt(source, from),
                    positionAt(source, to)};
  }

  // Edits that remove the code units from `from` to `to` that `owned` picks.
  template <class Owned>
  void removeOwned(std::size_t from, std::size_t to, Owned owned, FileEdits& edits) const {
    for (std::size_t i = from; i < to;) {
      if (!owned(source.xml.text[i])) {
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end < to && owned(source.xml.text[end])) ++end;
      edits.push_back(*edit(i, end, u""));
      i = end;
    }
  }
};

const std::u16string& textOf(const Planner& planner) {
  return planner.source.xml.text;
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
  const std::size_t from = span->contentStart;
  const std::size_t to = span->firstMarkup;
  const auto [first, last] = trimmed(text, from, to);
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
    plan(found.blanks, isXmlSpace);
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
  const auto [first, last] = trimmed(text, from, to);
  const bool invisibleInside =
      std::any_of(text.begin() + static_cast<std::ptrdiff_t>(first),
                  text.begin() + static_cast<std::ptrdiff_t>(last), isInvisibleCharacter);
  if (invisibleInside) invisible = nullptr;
  if (blanks == nullptr && invisible == nullptr) return;
  std::u16string result;
  for (std::size_t i = from; i < to; ++i) {
    const bool atEnds = i < first || i >= last;
    if (!isXmlSpace(text[i]) &&
        !(invisible != nullptr && atEnds && isInvisibleCharacter(text[i]))) {
      result += text[i];
    }
  }
  if (result.empty() || result == code || planner.codes.contains(result)) return;
  planner.codes.insert(result);
  if (blanks != nullptr) {
    FileEdits edits;
    planner.removeOwned(from, to, isXmlSpace, edits);
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
  const std::u16string& name = finding.suggested;
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
  if (finding.suggested != u"binary" || finding.code.empty() ||
      !whyUncarried(finding.code).empty() || planner.codes.contains(finding.code)) {
    return;
  }
  planRename(planner, finding, at, u"binary");
  if (finding.fix) planner.codes.insert(finding.code);
}

bool byPlace(const Finding* a, const Finding* b) {
  return a->position < b->position;
}

// The leftovers of interrupted runs go, as a complete run removes them.
void planRemovals(std::vector<Finding>& findings) {
  for (Finding& f : findings) {
    if (f.rule == RuleId::LeftoverFile && !f.file.empty()) {
      f.fix =
          Fix{u"remove the file " + quoted(f.file) + u", as a complete run does", FileRemoval{}};
    }
  }
}

// The findings about one value or code, gathered by place.
struct Gathered {
  std::map<Position, ValueFindings> values;
  std::map<Position, ValueFindings> codes;
};

// Plans the names' fixes of `ordered` at once, and gathers the findings
// about values and codes, whose fixes are planned together.
Gathered gatherFindings(Planner& planner, const std::vector<Finding*>& ordered) {
  Gathered gathered;
  std::set<std::pair<const ConfigEntry*, std::u16string>> added;
  for (Finding* f : ordered) {
    const std::optional<std::size_t> at = planner.indexOf(f->position);
    if (!at) continue;
    switch (f->rule) {
      case RuleId::WrappedValue:
      case RuleId::BlankInValue:
      case RuleId::LooksLikeO:
        gathered.values[f->position].blanks = f;
        break;
      case RuleId::InvisibleCharacter:
        (f->element.empty() ? gathered.codes : gathered.values)[f->position].invisible = f;
        break;
      case RuleId::BlankInCode:
        gathered.codes[f->position].blanks = f;
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
  return gathered;
}

}  // namespace

void planFixes(std::vector<Finding>& findings, std::string_view bytes,
               const ConfigOutline& outline) {
  planRemovals(findings);
  std::vector<Finding*> ordered;
  for (Finding& f : findings) {
    if (f.file == kConfigFile && !f.fix) ordered.push_back(&f);
  }
  if (ordered.empty()) return;  // nothing to place in the text
  const std::optional<SourceText> source = decodeSource(bytes);
  if (!source) return;
  Planner planner{*source, outline, {}};
  for (const ConfigEntry& entry : outline.entries) planner.codes.insert(entry.code);
  std::stable_sort(ordered.begin(), ordered.end(), byPlace);
  const Gathered gathered = gatherFindings(planner, ordered);
  for (const auto& [place, found] : gathered.codes) {
    planCode(planner, found.blanks, found.invisible, *planner.indexOf(place));
  }
  for (const auto& [place, found] : gathered.values) {
    const Finding* any = found.blanks != nullptr ? found.blanks : found.invisible;
    planValue(planner, found, any->element, *planner.indexOf(place));
  }
}

std::string readableText(std::string_view bytes) {
  const std::optional<SourceText> source = decodeSource(bytes);
  return source ? platform::toUtf8(source->xml.text) : std::string(bytes);
}

}  // namespace check
