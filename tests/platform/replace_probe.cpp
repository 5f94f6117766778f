// Replaces one file through the platform layer, for the tests that run it
// under strace with a fault at one system call:
//   replace_probe copy FROM TO     copies FROM over TO
//   replace_probe write FILE TEXT  replaces FILE's bytes with TEXT
// Exits 0 when the replacement was made, 1 when it was not, printing why
// (in-use, access-denied, disk-full, missing, other), 2 on misuse.
#include <cstdio>
#include <optional>
#include <string>

#include "platform/codepage.h"
#include "platform/files.h"

namespace {

int ended(const platform::FileReplacement& replacement, bool made) {
  if (made) return 0;
  static const char* const kNames[] = {"none",      "in-use",  "access-denied",
                                       "disk-full", "missing", "other"};
  std::puts(kNames[static_cast<int>(replacement.failure().problem)]);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const auto args = platform::argumentsOf(argc, argv);
  if (args.size() != 3) return 2;
  if (args[0] == u"copy") {
    platform::InputFile source(args[1]);
    platform::FileReplacement copy(args[2], source);
    return ended(copy, copy.copyRest(source) && copy.commit());
  }
  if (args[0] != u"write") return 2;
  platform::FileReplacement replacement(args[1]);
  return ended(replacement, replacement.write(argv[3]) && replacement.commit());
}
