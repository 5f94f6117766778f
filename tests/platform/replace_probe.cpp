// Replaces one file through the platform layer, for the tests that run it
// under strace with a fault at one system call:
//   replace_probe copy FROM TO     copies FROM over TO (platform::copyFile)
//   replace_probe write FILE TEXT  replaces FILE's bytes with TEXT
// Exits 0 when the replacement was made, 1 when it was not, 2 on misuse.
#include <string>

#include "platform/codepage.h"
#include "platform/files.h"

int main(int argc, char** argv) {
  const auto args = platform::argumentsOf(argc, argv);
  if (args.size() != 3) return 2;
  if (args[0] == u"copy") return platform::copyFile(args[1], args[2]) ? 0 : 1;
  if (args[0] != u"write") return 2;
  platform::FileReplacement replacement(args[1]);
  return replacement.write(argv[3]) && replacement.commit() ? 0 : 1;
}
