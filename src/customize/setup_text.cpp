#include "customize/setup_text.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"

SetupText decodeSetupText(std::string bytes) {
  SetupText result;
  // The text ends at the first NUL or 0x1A byte.
  std::size_t length = bytes.size();
  if (const void* nul = std::memchr(bytes.data(), '\0', length)) {
    length = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.data());
  }
  if (const void* eof = std::memchr(bytes.data(), '\x1a', length)) {
    length = static_cast<std::size_t>(static_cast<const char*>(eof) - bytes.data());
  }
  result.cutShort = length + 1 < bytes.size();

  // Decoded in place: the text is never longer than the bytes it came from.
  char* out = bytes.data();
  const char* in = out;
  const char* const end = in + length;
  while (in != end) {
    const auto* cr =
        static_cast<const char*>(std::memchr(in, '\r', static_cast<std::size_t>(end - in)));
    const char* stop = cr == nullptr ? end : cr;
    if (out != in) std::memmove(out, in, static_cast<std::size_t>(stop - in));
    out += stop - in;
    in = stop;
    if (cr == nullptr) break;
    ++in;
    if (in == end || *in != '\n') *out++ = '\r';  // only the CR of a CR LF pair goes
  }
  bytes.resize(static_cast<std::size_t>(out - bytes.data()));
  result.text = std::move(bytes);
  return result;
}

std::string encodeSetupText(std::string_view text) {
  std::string bytes(
      text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), '\0');
  char* out = bytes.data();
  const char* in = text.data();
  const char* const end = in + text.size();
  while (in != end) {
    const auto* lf =
        static_cast<const char*>(std::memchr(in, '\n', static_cast<std::size_t>(end - in)));
    const char* stop = lf == nullptr ? end : lf;
    std::memcpy(out, in, static_cast<std::size_t>(stop - in));
    out += stop - in;
    in = stop;
    if (lf == nullptr) break;
    *out++ = '\r';
    *out++ = '\n';
    ++in;
  }
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
