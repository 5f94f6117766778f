// A whole-file copy made of the platform layer's pieces, as a run's plain
// copy is: for the tests of the file layer and the benchmark.
#pragma once

#include <string>

#include "platform/files.h"

namespace testing_support {

// Copies `from` over `to` through a FileReplacement and flushes the folder;
// false when nothing was copied.
inline bool copyThroughPlatform(const std::u16string& from, const std::u16string& to) {
  platform::InputFile source(from);
  platform::FileReplacement copy(to, source);
  return copy.copyRest(source) && copy.commit();
}

}  // namespace testing_support
