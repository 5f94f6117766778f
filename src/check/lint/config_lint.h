// A view of config.xml as a whole: its entries with their positions, and what
// is wrong with them beyond what a run of one package meets.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "check/lint/finding.h"
#include "platform/xml_dom.h"

namespace check {

inline constexpr char16_t kConfigFile[] = u"config.xml";

// A child element of an entry, with its text.
struct ConfigValue {
  std::u16string name;
  std::u16string text;
  Position position;
};

// A <binary> element directly under <config> that has a code.
struct ConfigEntry {
  std::u16string code;
  Position position;
  Position codePosition;
  std::vector<ConfigValue> values;  // every child element, in document order
  bool read = false;                // the first entry of a code that a launcher's name can carry
};

struct ConfigOutline {
  std::vector<ConfigEntry> entries;  // in document order
  std::vector<Finding> findings;     // in document order
  // Where in `entries` the first entry of each code is: the look-up of a
  // file of many thousand entries, once per run of --all.
  std::unordered_map<std::u16string, std::size_t> firstOfCode;
};

// The entries of the loaded `document` and what is wrong with the file:
// entries that no run reads, elements no run reads, values that are taken as
// written but were probably meant otherwise, its declared encoding.
ConfigOutline outlineConfig(const platform::XmlDocument& document);

// The first entry whose code is `code`, as a run finds it; null when none.
const ConfigEntry* entryFor(const ConfigOutline& outline, const std::u16string& code);

// The first value element `name` of `entry`; null when none.
const ConfigValue* valueOf(const ConfigEntry& entry, const std::u16string& name);

// Why no launcher's name can carry `code`; empty when one can. The package
// code of a launcher name made for it says so.
std::u16string whyUncarried(const std::u16string& code);

// The known name closest to `name` (fewest edits, letter case aside), when
// it is within two edits; of several as close, the first in code-unit order.
// Empty when none is that close. What "did you mean" names.
std::u16string closestName(const std::u16string& name, const std::vector<std::u16string>& known);

// A finding when `bytes`, which do not load, look like windows-1252 text in a
// file read as UTF-8; none otherwise.
std::vector<Finding> encodingHint(std::string_view bytes);

// Whether a finding with no package code is about the file as a whole, and
// so belongs to the check of every package.
bool aboutWholeFile(const Finding& finding);

}  // namespace check
