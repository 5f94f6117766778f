// Started as "probe OUTPUT": writes the launcher name that the tool would find
// from this process to OUTPUT, as narrow text.
#include <filesystem>

#include "app/launcher.h"
#include "platform/codepage.h"
#include "test_support.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::u16string name = findLauncherName();
  testing_support::writeFile(argv[1], platform::toNarrow(name));
  return 0;
}
