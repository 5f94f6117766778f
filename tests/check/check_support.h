// Runs the check tool in tests and reads what it says.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace check_support {

struct CheckOutput {
  int status = 0;
  std::string out;
  std::string err;
};

// The check tool run with `args`, in this process.
CheckOutput runCheck(const std::vector<std::u16string>& args);

// The same with --format json, parsed; fails the test when it is not JSON.
nlohmann::json checkJson(std::vector<std::u16string> args, int* status = nullptr);

// Each finding of a JSON report as "RULE@FILE:LINE:COLUMN", as much of the
// place as is known.
std::vector<std::string> findingPlaces(const nlohmann::json& report);

// True when each place of `actual` is the one of `expected` at the same
// index, where an expected place may leave out the column, or end in ":*"
// for any place in its file (parsers differ in where they place an error,
// and some give none).
bool samePlaces(const std::vector<std::string>& actual, const std::vector<std::string>& expected);

// `text` as an editor saves it in ISO-8859-1 (windows-1252 where the two
// agree; "?" for what neither holds), or in UTF-16 LE with a byte-order mark.
std::string asLatin1(const std::u16string& text);
std::string asUtf16le(const std::u16string& text);

// config.xml with one entry, TR0107, whose values are `values`, one to a
// line from line 4, each indented by four blanks.
std::string oneEntryConfig(const std::vector<std::string>& values);

}  // namespace check_support
