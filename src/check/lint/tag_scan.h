// Where a tag or an attribute is written in the text of an XML file, found
// by scanning its markup from the place the DOM reports: what places an edit
// of config.xml.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace check {

// White space as XML means it, between the parts of markup and around a
// suppression's words: space, tab, CR, LF.
bool isXmlSpace(char16_t unit);

// Where an element is written: its start tag's name, its content and its end
// tag's name (none for an empty-element tag).
struct ElementSpan {
  std::size_t name = 0;
  std::size_t contentStart = 0;
  std::size_t firstMarkup = 0;  // the first "<" of its content
  std::optional<std::size_t> endName;
};

// The element `name` whose start tag begins at `at`; nullopt when the text
// there is not its start tag or its end tag cannot be found.
std::optional<ElementSpan> elementAt(const std::u16string& text, std::size_t at,
                                     const std::u16string& name);

// The value of the attribute `name` written at `at`: where its text begins
// and ends, between the quotes.
std::optional<std::pair<std::size_t, std::size_t>> attributeAt(const std::u16string& text,
                                                               std::size_t at,
                                                               const std::u16string& name);

}  // namespace check
