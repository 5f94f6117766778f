#include "check/lint/source_text.h"

#include <algorithm>
#include <utility>

namespace check {

std::optional<SourceText> decodeSource(std::string_view bytes) {
  std::optional<platform::XmlText> xml = platform::decodeXmlText(bytes);
  if (!xml) return std::nullopt;
  const std::u16string& text = xml->text;
  std::vector<std::size_t> lines = {0};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
    if (text[i] == u'\r' || text[i] == u'\n') lines.push_back(i + 1);
  }
  return SourceText{std::move(*xml), std::move(lines)};
}

Position positionAt(const SourceText& source, std::size_t index) {
  const auto next = std::upper_bound(source.lines.begin(), source.lines.end(), index);
  const auto line = static_cast<std::size_t>(next - source.lines.begin());
  return {static_cast<long>(line), static_cast<long>(index - source.lines[line - 1] + 1)};
}

}  // namespace check
