#include "check/json_text.h"

#include <cstdio>

#include "platform/codepage.h"

namespace check {

std::string json(const std::u16string& text) {
  std::string out = "\"";
  for (const char16_t unit : text) {
    switch (unit) {
      case u'"':
        out += "\\\"";
        break;
      case u'\\':
        out += "\\\\";
        break;
      case u'\n':
        out += "\\n";
        break;
      case u'\r':
        out += "\\r";
        break;
      case u'\t':
        out += "\\t";
        break;
      default:
        if (unit >= 0x20 && unit < 0x7F) {
          out += static_cast<char>(unit);
        } else {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(unit));
          out += escaped;
        }
    }
  }
  return out + "\"";
}

std::string json(const std::string& narrowText) {
  return json(platform::toWide(narrowText));
}
std::string json(bool value) {
  return value ? "true" : "false";
}
std::string json(long value) {
  return std::to_string(value);
}

}  // namespace check
