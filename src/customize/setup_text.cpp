#include "customize/setup_text.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"

SetupText decodeSetupText(std::string_view bytes) {
  SetupText result;
  const auto end = std::find_if(bytes.begin(), bytes.end(),
                                [](char byte) { return byte == '\0' || byte == '\x1a'; });
  const std::string_view text(bytes.data(), static_cast<std::size_t>(end - bytes.begin()));
  result.cutShort = text.size() + 1 < bytes.size();
  result.text.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t cr; (cr = text.find('\r', start)) != std::string_view::npos; start = cr + 1) {
    result.text.append(text, start, cr - start);
    if (cr + 1 == text.size() || text[cr + 1] != '\n') result.text += '\r';
  }
  result.text.append(text, start);
  return result;
}

std::string encodeSetupText(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
  std::size_t start = 0;
  for (std::size_t lf; (lf = text.find('\n', start)) != std::string_view::npos; start = lf + 1) {
    bytes.append(text, start, lf - start);
    bytes += "\r\n";
  }
  bytes.append(text, start);
  return bytes;
}

std::vector<Substitution> setupSubstitutions(std::int32_t cmdFile,
                                             const std::u16string& packageCode,
                                             const std::u16string& market, bool substituteValues,
                                             const std::u16string& barPc) {
  std::vector<Substitution> substitutions;
  if (cmdFile == 0) {
    substitutions.push_back(
        {"INSTALL.INF", platform::toNarrow(platform::toWide("INSTALL_") + packageCode +
                                           platform::toWide(".INF"))});
  }
  if (substituteValues) {
    substitutions.push_back({"B8DF", platform::toNarrow(barPc)});
    substitutions.push_back({"en-us", platform::toNarrow(market)});
  }
  return substitutions;
}

std::size_t applySubstitution(std::string& text, const Substitution& substitution) {
  const std::size_t at = text.find(substitution.searched);
  if (at == std::string::npos) throw MissingTextError();
  text.replace(at, substitution.searched.size(), substitution.replacement);
  return at;
}
