#include "check/lint/suppression.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "check/lint/config_lint.h"
#include "check/lint/source_text.h"
#include "check/lint/tag_scan.h"
#include "platform/codepage.h"
#include "platform/xml_text.h"

namespace check {

namespace {

constexpr std::u16string_view kMarker = u"pkgcustomize-check:";
constexpr std::u16string_view kIgnore = u"ignore";

// Whether `bytes` may hold a suppression: the marker's ASCII letters are
// single bytes in every encoding read here but UTF-16, whose two byte orders
// are sought too. Most files hold none, and need no decoding.
bool mayHoldMarker(std::string_view bytes) {
  std::string ascii;
  std::string littleEndian;
  std::string bigEndian;
  for (const char16_t unit : kMarker) {
    const char letter = static_cast<char>(unit);
    ascii += letter;
    littleEndian += {letter, '\0'};
    bigEndian += {'\0', letter};
  }
  return bytes.find(ascii) != std::string_view::npos ||
         bytes.find(littleEndian) != std::string_view::npos ||
         bytes.find(bigEndian) != std::string_view::npos;
}

std::u16string_view trimmed(std::u16string_view text) {
  while (!text.empty() && isXmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isXmlSpace(text.back())) text.remove_suffix(1);
  return text;
}

// The rule names a comment's text gives after "pkgcustomize-check: ignore";
// none when it is another comment.
std::vector<std::u16string> ignoredRules(std::u16string_view comment) {
  comment = trimmed(comment);
  if (!comment.starts_with(kMarker)) return {};
  comment = trimmed(comment.substr(kMarker.size()));
  if (!comment.starts_with(kIgnore) || comment.size() == kIgnore.size() ||
      !isXmlSpace(comment[kIgnore.size()])) {
    return {};
  }
  std::vector<std::u16string> rules;
  comment.remove_prefix(kIgnore.size());
  while (!comment.empty()) {
    const std::size_t comma = std::min(comment.find(u','), comment.size());
    if (const auto name = trimmed(comment.substr(0, comma)); !name.empty())
      rules.emplace_back(name);
    comment.remove_prefix(std::min(comma + 1, comment.size()));
  }
  return rules;
}

// Where a markup construct that is not an element's tag ends: the index just
// after it, or npos when the text ends first.
std::size_t pastConstruct(std::u16string_view text, std::size_t at) {
  for (const auto& [open, close] :
       {std::pair{u"<!--", u"-->"}, std::pair{u"<![CDATA[", u"]]>"}, std::pair{u"<?", u"?>"}}) {
    if (text.substr(at).starts_with(open)) {
      const std::size_t end = text.find(close, at + std::u16string_view(open).size());
      return end == std::u16string_view::npos ? end : end + std::u16string_view(close).size();
    }
  }
  // A document type declaration, whose internal subset may hold '>'.
  int brackets = 0;
  for (std::size_t i = at; i < text.size(); ++i) {
    brackets += text[i] == u'[' ? 1 : text[i] == u']' ? -1 : 0;
    if (text[i] == u'>' && brackets <= 0) return i + 1;
  }
  return std::u16string_view::npos;
}

// Where a start or end tag at `at` ends, past quoted attribute values: the
// index of its '>', or npos.
std::size_t tagEnd(std::u16string_view text, std::size_t at) {
  char16_t quote = 0;
  for (std::size_t i = at; i < text.size(); ++i) {
    if (quote != 0) {
      if (text[i] == quote) quote = 0;
    } else if (text[i] == u'"' || text[i] == u'\'') {
      quote = text[i];
    } else if (text[i] == u'>') {
      return i;
    }
  }
  return std::u16string_view::npos;
}

// Binds the suppressions that wait for an element to the one starting at
// `from`; they end with it when it is empty, else with its end tag.
struct Binder {
  const SourceText& source;
  std::vector<Suppression>& found;
  std::size_t waiting = 0;  // found[waiting...] wait for their element
  bool documentSeen = false;
  std::vector<std::pair<std::size_t, std::size_t>> open;  // (first, last) of found per open element

  void startTag(std::size_t from, std::size_t end, bool empty) {
    const Position start = positionAt(source, from);
    for (std::size_t i = waiting; i < found.size(); ++i) {
      found[i].wholeFile = !documentSeen;
      found[i].from = start;
      if (empty) found[i].to = positionAt(source, end + 1);
    }
    documentSeen = true;
    if (!empty) open.emplace_back(waiting, found.size());
    waiting = found.size();
  }
  void endTag(std::size_t end) {
    if (open.empty()) return;
    const auto [first, last] = open.back();
    open.pop_back();
    for (std::size_t i = first; i < last; ++i) found[i].to = positionAt(source, end + 1);
  }
};

}  // namespace

std::vector<Suppression> findSuppressions(std::string_view bytes) {
  std::vector<Suppression> found;
  if (!mayHoldMarker(bytes)) return found;
  const std::optional<SourceText> source = decodeSource(bytes);
  if (!source) return found;
  const std::u16string_view text = source->xml.text;
  Binder binder{*source, found, 0, false, {}};
  std::size_t at = text.find(u'<');
  while (at != std::u16string_view::npos && at + 1 < text.size()) {
    std::size_t next;
    if (text.substr(at).starts_with(u"<!--")) {
      next = pastConstruct(text, at);
      if (next == std::u16string_view::npos) break;
      std::vector<std::u16string> rules = ignoredRules(text.substr(at + 4, next - 3 - (at + 4)));
      if (!rules.empty()) {
        Suppression& s = found.emplace_back();
        s.rules = std::move(rules);
        s.position = positionAt(*source, at);
      }
    } else if (text[at + 1] == u'!' || text[at + 1] == u'?') {
      next = pastConstruct(text, at);
    } else {
      const std::size_t end = tagEnd(text, at);
      if (end == std::u16string_view::npos) break;
      if (text[at + 1] == u'/') {
        binder.endTag(end);
      } else {
        binder.startTag(at, end, text[end - 1] == u'/');
      }
      next = end + 1;
    }
    at = next == std::u16string_view::npos ? next : text.find(u'<', next);
  }
  return found;
}

std::vector<Finding> applySuppressions(std::vector<Finding>& findings,
                                       const std::vector<Suppression>& suppressions,
                                       bool reportUnused) {
  std::vector<std::vector<bool>> used;
  for (const Suppression& s : suppressions) used.emplace_back(s.rules.size(), false);
  const auto keptOut = [&](const Finding& f) {
    for (std::size_t i = 0; i < suppressions.size(); ++i) {
      const Suppression& s = suppressions[i];
      const bool about =
          f.file == kConfigFile &&
          (s.wholeFile || (f.position.line > 0 && s.from <= f.position && f.position < s.to));
      const auto named = std::find(s.rules.begin(), s.rules.end(),
                                   std::u16string(platform::fromUtf8(rule(f.rule).name)));
      if (about && named != s.rules.end()) {
        used[i][static_cast<std::size_t>(named - s.rules.begin())] = true;
        return true;
      }
    }
    return false;
  };
  std::vector<Finding> suppressed;
  std::vector<Finding> kept;
  for (Finding& f : findings) (keptOut(f) ? suppressed : kept).push_back(std::move(f));
  findings = std::move(kept);
  for (std::size_t i = 0; reportUnused && i < suppressions.size(); ++i) {
    for (std::size_t k = 0; k < suppressions[i].rules.size(); ++k) {
      if (used[i][k]) continue;
      const std::u16string& name = suppressions[i].rules[k];
      const bool known = std::any_of(allRules().begin(), allRules().end(), [&](const Rule& r) {
        return platform::fromUtf8(r.name) == name;
      });
      Finding unused = makeFinding(
          RuleId::UnusedSuppression, kConfigFile,
          u"the suppression of " + quoted(name) +
              (known ? u" keeps no finding out" : u" keeps nothing out: there is no such rule"));
      unused.position = suppressions[i].position;
      findings.push_back(std::move(unused));
    }
  }
  return suppressed;
}

}  // namespace check
