// Names the rows of parameterised tables after their own description, so that
// a failing row says what it is.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>

namespace testing_support {

// "cmd run, o variant" as "CmdRunOVariant": the words of `what`, capitalised
// and joined, as a test name may be written.
inline std::string rowName(std::string_view what) {
  std::string name;
  bool wordStart = true;
  for (const char c : what) {
    if (!std::isalnum(static_cast<unsigned char>(c))) {
      wordStart = true;
      continue;
    }
    name += wordStart ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    wordStart = false;
  }
  return name;
}

// The name generator of a table whose rows have a `what` field.
struct ByWhat {
  template <class Row>
  std::string operator()(const testing::TestParamInfo<Row>& info) const {
    return rowName(info.param.what);
  }
};

}  // namespace testing_support
