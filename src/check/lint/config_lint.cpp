#include "check/lint/config_lint.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <set>

#include "app/launcher.h"
#include "app/package_name.h"
#include "config/settings_load.h"
#include "platform/codepage.h"

namespace check {

namespace {

const std::u16string kEntryName = u"binary";
const std::array<std::u16string, 3> kValueNames = {u"package_type", u"quil_bar_pc", u"market_type"};

Position positionOf(const platform::XmlPosition& position) {
  return {position.line, position.column};
}

bool sameName(const std::u16string& a, const std::u16string& b) {
  return std::ranges::equal(a, b, [](char16_t x, char16_t y) {
    return platform::asciiLower(x) == platform::asciiLower(y);
  });
}

// Edits (insertions, deletions, substitutions) that turn `a` into `b`,
// letter case aside.
std::size_t editDistance(const std::u16string& a, const std::u16string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min(
          {row[j] + 1, row[j - 1] + 1,
           diagonal + (platform::asciiLower(a[i - 1]) == platform::asciiLower(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The known name closest to `name`, within two edits; empty when none is.
template <class Names>
std::u16string nearName(const std::u16string& name, const Names& known) {
  return closestName(name, std::vector<std::u16string>(std::begin(known), std::end(known)));
}

std::u16string tag(const std::u16string& name) {
  return u"<" + name + u">";
}

bool hasInvisible(const std::u16string& text) {
  return std::any_of(text.begin(), text.end(), isInvisibleCharacter);
}

// A blank that a value or a code may hold by mistake, where a run keeps it:
// a space or a tab (a line break is a mistake of its own).
bool isValueBlank(char16_t unit) {
  return unit == u' ' || unit == u'\t';
}

// UTF-8 text read as windows-1252 ("Ã©" for "é", "â€™" for "’").
bool looksMisdecoded(const std::u16string& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    const char16_t next = text[i + 1];
    if ((text[i] == 0x00C2 || text[i] == 0x00C3) && (next >= 0x0080 && next <= 0x00BF)) return true;
    if (text[i] == 0x00E2 && next == 0x20AC) return true;
  }
  return false;
}

// Collects the findings of one file.
struct Lint {
  const platform::XmlDocument& document;
  ConfigOutline outline;
  bool misdecodedSeen = false;

  Position at(const platform::XmlNode& node) const {
    return positionOf(platform::nodePosition(document, node));
  }
  void add(RuleId rule, Position position, std::u16string message, std::u16string code = {},
           std::u16string element = {}, std::optional<std::u16string> value = std::nullopt) {
    outline.findings.push_back({rule,
                                kConfigFile,
                                position,
                                std::move(message),
                                std::move(code),
                                std::move(element),
                                std::move(value),
                                {},
                                0,
                                std::nullopt});
  }
};

}  // namespace

std::u16string whyUncarried(const std::u16string& code) {
  if (parsePackageCode(kLauncherPrefix + (u"pack_v1_" + code + u"_x.exe")) == code &&
      std::none_of(code.begin(), code.end(), [](char16_t unit) {
        return unit < 0x20 ||
               std::u16string_view(u"\"*/:<>?\\|").find(unit) != std::u16string::npos;
      })) {
    return {};
  }
  if (!code.starts_with(u"TR")) return u"it does not begin with \"TR\"";
  if (code.find(u'_') != std::u16string::npos) return u"it holds a \"_\", which ends the field";
  return u"it holds a character that file names cannot hold";
}

namespace {

void lintCode(Lint& lint, const ConfigEntry& entry) {
  const std::u16string& code = entry.code;
  if (hasInvisible(code)) {
    lint.add(RuleId::InvisibleCharacter, entry.codePosition,
             u"the code " + quoted(code) + u" holds an invisible or unusual blank character", code,
             {}, code);
  }
  if (std::any_of(code.begin(), code.end(), isValueBlank)) {
    lint.add(RuleId::BlankInCode, entry.codePosition,
             u"the code " + quoted(code) + u" holds blanks, which a launcher's name must carry",
             code, {}, code);
  }
}

// The findings about one value the run reads.
void lintValue(Lint& lint, const ConfigEntry& entry, const ConfigValue& value) {
  const std::u16string& text = value.text;
  const auto add = [&](RuleId rule, const std::u16string& why) {
    lint.add(rule, value.position,
             tag(value.name) + u" of " + quoted(entry.code) + u" is " + quoted(text) + why,
             entry.code, value.name, text);
  };
  if (text.empty()) return;  // the run's own finding
  if (value.name == u"package_type" && (text == u"o" || text == u" O" || text == u"O ")) {
    add(RuleId::LooksLikeO, u", not \"O\": the \"_e\" variants are used");
    return;
  }
  if (text.find_first_of(u"\r\n") != std::u16string::npos) {
    add(RuleId::WrappedValue, u": it holds line breaks, which are kept as written");
  } else if (isValueBlank(text.front()) || isValueBlank(text.back())) {
    add(RuleId::BlankInValue, u": its blanks are kept as written");
  }
  if (hasInvisible(text))
    add(RuleId::InvisibleCharacter, u": it holds an invisible or unusual blank");
  if (!lint.misdecodedSeen && looksMisdecoded(text)) {
    lint.misdecodedSeen = true;
    add(RuleId::EncodingMismatch,
        u": it looks like UTF-8 text read as windows-1252; save config.xml in the encoding it "
        u"declares");
  }
}

// The value elements that a run of `entry` reads, as the settings load reads
// them; a missing or empty value counts as present, so that it hides none of
// the others.
std::set<std::u16string> namesRead(const ConfigEntry& entry) {
  std::set<std::u16string> names;
  PackageSettings unused;
  readEntrySettings(
      [&](const std::u16string& name) -> std::optional<std::u16string> {
        names.insert(name);
        const ConfigValue* value = valueOf(entry, name);
        return value == nullptr || value->text.empty() ? u"?" : value->text;
      },
      unused);
  return names;
}

// The findings about the values of an entry that a run reads.
void lintValues(Lint& lint, const ConfigEntry& entry) {
  std::map<std::u16string, const ConfigValue*> first;
  for (const ConfigValue& value : entry.values) {
    const bool known =
        std::find(kValueNames.begin(), kValueNames.end(), value.name) != kValueNames.end();
    if (!known) {
      const std::u16string near = nearName(value.name, kValueNames);
      lint.add(RuleId::UnknownElement, value.position,
               tag(value.name) + u" in the entry " + quoted(entry.code) +
                   u" is not read by any run" +
                   (near.empty() ? u"" : u": did you mean " + tag(near) + u"?"),
               entry.code, value.name);
      lint.outline.findings.back().suggested = near;
    } else if (const auto [seen, inserted] = first.emplace(value.name, &value); !inserted) {
      lint.add(RuleId::RepeatedValue, value.position,
               u"a second " + tag(value.name) + u" in the entry " + quoted(entry.code) +
                   u": the first (line " + number(seen->second->position.line) + u") is read",
               entry.code, value.name, value.text);
    }
  }
  const std::set<std::u16string> read = namesRead(entry);
  for (const auto& [name, value] : first) {
    if (read.contains(name)) lintValue(lint, entry, *value);
  }
  const ConfigValue* type = valueOf(entry, u"package_type");
  const ConfigValue* barPc = valueOf(entry, u"quil_bar_pc");
  if (barPc != nullptr && !read.contains(u"quil_bar_pc") && type != nullptr &&
      !type->text.empty()) {
    lint.add(RuleId::IgnoredBarPc, barPc->position,
             tag(u"quil_bar_pc") + u" of " + quoted(entry.code) +
                 u" is not read: its <package_type> is " + quoted(type->text) + u", not \"O\"",
             entry.code, u"quil_bar_pc", barPc->text);
  }
}

ConfigEntry readEntry(Lint& lint, const platform::XmlNode& node, const std::u16string& code) {
  ConfigEntry entry{code,
                    lint.at(node),
                    positionOf(platform::attributePosition(lint.document, node, u"code")),
                    {},
                    false};
  for (const platform::XmlNode& child : platform::childElements(node)) {
    entry.values.push_back(
        {platform::nodeName(child), platform::nodeText(child).value_or(u""), lint.at(child)});
  }
  return entry;
}

// An element under <config> that is not a <binary>: meant as an entry when
// it has a code or is a near miss of the name.
void lintOther(Lint& lint, const platform::XmlNode& node, const std::u16string& name) {
  const auto code = platform::nodeAttribute(node, u"code");
  const std::u16string near = nearName(name, std::array{kEntryName});
  if (!code && near.empty()) {
    lint.add(RuleId::UnknownElement, lint.at(node),
             tag(name) + u" under <config> is not read by any run", {}, name);
    return;
  }
  lint.add(RuleId::UnusedEntry, lint.at(node),
           u"<" + name + (code ? u" code=" + quoted(*code) : u"") +
               u"> is not an entry, so no run reads it" +
               (near.empty() ? u": entries are <binary> elements" : u": did you mean <binary>?"),
           code.value_or(u""), name);
  lint.outline.findings.back().suggested = near;
}

void lintEntry(Lint& lint, const platform::XmlNode& node,
               std::unordered_map<std::u16string, Position>& seen) {
  const auto code = platform::nodeAttribute(node, u"code");
  if (!code) {
    lint.add(RuleId::UnusedEntry, lint.at(node), u"a <binary> without a code: no run reads it", {},
             kEntryName);
    return;
  }
  ConfigEntry entry = readEntry(lint, node, *code);
  lintCode(lint, entry);
  if (const std::u16string why = whyUncarried(*code); !why.empty()) {
    lint.add(RuleId::UnusedEntry, entry.codePosition,
             u"the code " + quoted(*code) + u" cannot come from a launcher's name (" + why +
                 u"): no run reads the entry",
             *code, kEntryName, *code);
  } else if (const auto [first, inserted] = seen.emplace(*code, entry.position); !inserted) {
    lint.add(RuleId::DuplicateEntry, entry.position,
             u"a second entry with the code " + quoted(*code) +
                 u": no run reads it, the first (line " + number(first->second.line) + u") is read",
             *code, kEntryName);
  } else {
    entry.read = true;
    lintValues(lint, entry);
  }
  lint.outline.firstOfCode.emplace(entry.code, lint.outline.entries.size());
  lint.outline.entries.push_back(std::move(entry));
}

void lintEncoding(Lint& lint) {
  const auto encoding = platform::declaredEncoding(lint.document);
  if (!encoding) return;
  for (const char16_t* usual : {u"utf-8", u"utf-16", u"iso-8859-1", u"windows-1252"}) {
    if (sameName(*encoding, usual)) return;
  }
  lint.add(RuleId::UnusualEncoding, {1, 1},
           u"config.xml declares the encoding " + quoted(*encoding) +
               u"; only UTF-8, UTF-16, ISO-8859-1 and windows-1252 are read alike everywhere",
           {}, {}, *encoding);
}

// Where the first byte that is not UTF-8 lies; line 0 when every byte is.
// Decoded, such a byte is a low surrogate from U+DC80 on that no high one
// comes before.
Position firstNonUtf8(std::string_view bytes) {
  const std::u16string text = platform::fromUtf8(bytes);
  Position at{1, 1};
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool afterHigh = i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF;
    if (unit >= 0xDC80 && unit <= 0xDCFF && !afterHigh) return at;
    if (unit == u'\n' || (unit == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n'))) {
      at = {at.line + 1, 1};
    } else if (unit != u'\r') {
      ++at.column;
    }
  }
  return {};
}

bool byPosition(const Finding& a, const Finding& b) {
  return a.position < b.position;
}

}  // namespace

ConfigOutline outlineConfig(const platform::XmlDocument& document) {
  Lint lint{document, {}, false};
  lintEncoding(lint);
  const platform::XmlNode root = platform::documentElement(document);
  if (!root) return lint.outline;
  const std::u16string rootName = platform::nodeName(root);
  if (rootName != u"config") {
    lint.add(RuleId::WrongDocumentElement, lint.at(root),
             u"the document element is " + tag(rootName) +
                 u", not <config>: no run reads any entry of config.xml",
             {}, rootName);
    return lint.outline;
  }
  std::unordered_map<std::u16string, Position> seen;
  const std::vector<platform::XmlNode> children = platform::childElements(root);
  lint.outline.entries.reserve(children.size());
  lint.outline.firstOfCode.reserve(children.size());
  seen.reserve(children.size());
  for (const platform::XmlNode& child : children) {
    const std::u16string name = platform::nodeName(child);
    if (name == kEntryName) {
      lintEntry(lint, child, seen);
    } else {
      lintOther(lint, child, name);
    }
  }
  for (const platform::XmlNode& nested : platform::selectNodes(document, u"/config/*//binary")) {
    const auto code = platform::nodeAttribute(nested, u"code");
    lint.add(RuleId::UnusedEntry, lint.at(nested),
             (code ? u"<binary code=" + quoted(*code) + u">" : u"a <binary>") +
                 u" is not directly under <config>: no run reads it",
             code.value_or(u""), kEntryName);
  }
  if (lint.outline.entries.empty()) {
    lint.add(RuleId::NoEntry, lint.at(root),
             u"config.xml has no <binary> entry with a code directly under <config>");
  }
  std::stable_sort(lint.outline.findings.begin(), lint.outline.findings.end(), byPosition);
  return std::move(lint.outline);
}

const ConfigEntry* entryFor(const ConfigOutline& outline, const std::u16string& code) {
  const auto found = outline.firstOfCode.find(code);
  return found == outline.firstOfCode.end() ? nullptr : &outline.entries[found->second];
}

const ConfigValue* valueOf(const ConfigEntry& entry, const std::u16string& name) {
  for (const ConfigValue& value : entry.values) {
    if (value.name == name) return &value;
  }
  return nullptr;
}

std::u16string closestName(const std::u16string& name, const std::vector<std::u16string>& known) {
  constexpr std::size_t kMostEdits = 2;
  std::u16string closest;
  std::size_t fewest = kMostEdits + 1;
  for (const std::u16string& candidate : known) {
    const std::size_t edits = editDistance(name, candidate);
    if (edits < fewest || (edits == fewest && !closest.empty() && candidate < closest)) {
      closest = candidate;
      fewest = edits;
    }
  }
  return closest;
}

std::vector<Finding> encodingHint(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) return {};
  const auto declared = platform::declaredEncodingOf(bytes);
  if (declared && !sameName(*declared, u"utf-8") && !sameName(*declared, u"utf8")) return {};
  const Position at = firstNonUtf8(bytes);
  if (at.line == 0) return {};
  Finding hint = makeFinding(RuleId::EncodingMismatch, kConfigFile,
                             u"config.xml is read as UTF-8 but is not UTF-8 here: it looks saved "
                             u"as windows-1252; save it as UTF-8, or declare "
                             u"encoding=\"windows-1252\"");
  hint.position = at;
  return {hint};
}

bool aboutWholeFile(const Finding& finding) {
  return finding.code.empty() &&
         (finding.rule == RuleId::WrongDocumentElement ||
          finding.rule == RuleId::EncodingMismatch || finding.rule == RuleId::UnusualEncoding ||
          finding.rule == RuleId::LeftoverFile);
}

}  // namespace check
