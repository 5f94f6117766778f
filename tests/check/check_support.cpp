#include "check_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "check/cli/check_tool.h"

namespace check_support {

CheckOutput runCheck(const std::vector<std::u16string>& args) {
  CheckOutput output;
  output.status = check::runCheckTool(args, output.out, output.err);
  return output;
}

std::string asLatin1(const std::u16string& text) {
  std::string bytes;
  for (const char16_t unit : text) bytes += static_cast<char>(unit < 0x100 ? unit : '?');
  return bytes;
}

std::string asUtf16le(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text) {
    bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  }
  return bytes;
}

nlohmann::json checkJson(std::vector<std::u16string> args, int* status) {
  args.insert(args.begin(), u"--format=json");
  const CheckOutput output = runCheck(args);
  if (status != nullptr) *status = output.status;
  const nlohmann::json report = nlohmann::json::parse(output.out, nullptr, false);
  EXPECT_FALSE(report.is_discarded()) << output.out << output.err;
  return report;
}

std::vector<std::string> findingPlaces(const nlohmann::json& report) {
  std::vector<std::string> places;
  for (const auto& f : report.at("findings")) {
    std::string place = f.at("rule").get<std::string>() + "@" +
                        (f.at("file").is_null() ? "" : f.at("file").get<std::string>());
    for (const char* key : {"line", "column"}) {
      if (!f.at(key).is_null()) place += ":" + std::to_string(f.at(key).get<long>());
    }
    places.push_back(place);
  }
  return places;
}

bool samePlaces(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
  if (actual.size() != expected.size()) return false;
  for (std::size_t i = 0; i < actual.size(); ++i) {
    const std::string& want = expected[i];
    const auto colons = std::count(want.begin(), want.end(), ':');
    const bool lineOnly = colons == 1 && actual[i].starts_with(want + ":");
    const std::string file = want.substr(0, want.size() - 2);
    const bool anyPlace =
        want.ends_with(":*") && (actual[i] == file || actual[i].starts_with(file + ":"));
    if (actual[i] != want && !lineOnly && !anyPlace) return false;
  }
  return true;
}

std::string oneEntryConfig(const std::vector<std::string>& values) {
  std::string text = "<?xml version=\"1.0\"?>\n<config>\n  <binary code=\"TR0107\">\n";
  for (const std::string& value : values) text += "    " + value + "\n";
  return text + "  </binary>\n</config>\n";
}

}  // namespace check_support
