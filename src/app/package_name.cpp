#include "app/package_name.h"

namespace {

constexpr char16_t kSeparator = u'_';
constexpr char16_t kExtensionMark = u'.';

// Drops everything up to and including the first "_". Without one, the start
// is npos + 1, which wraps to 0 and keeps the string whole.
std::u16string afterFirstSeparator(const std::u16string& text) {
  return text.substr(text.find(kSeparator) + 1);
}

}  // namespace

std::u16string parsePackageCode(std::u16string name) {
  const std::u16string rest = afterFirstSeparator(afterFirstSeparator(name));
  const std::u16string field = rest.substr(0, rest.find(kSeparator));
  return field.starts_with(u"TR") ? field : std::u16string();
}

SetupKind parseCmdVariant(std::u16string name) {
  const auto dot = name.rfind(kExtensionMark);
  const auto separator = name.rfind(kSeparator);
  // Unsigned arithmetic wraps: with no "_" the segment starts at 0, and a "."
  // missing or before the last "_" gives a length that runs to the end.
  const std::u16string segment = name.substr(separator + 1, dot - separator - 1);
  return segment.find(u'l') != std::u16string::npos || segment.find(u'L') != std::u16string::npos
             ? SetupKind::Cmd
             : SetupKind::Cif;
}
