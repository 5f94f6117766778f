// The console service writes UTF-8 bytes to a file, whatever the code pages.
// (tests/platform/console_check.sh shows the console path under Wine.)
#include "platform/console.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/codepage.h"
#include "platform/files.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(Console, CyrillicFolderAndAccentReachAFileAsUtf8) {
  TempDir dir;
  const fs::path folder = dir / u"\u041f\u0430\u043a\u0435\u0442";
  fs::create_directory(folder);
  writeFile(folder / "config.xml",
            "<config><binary code=\"TR01\"><package_type>E</package_type>"
            "<market_type>caf\xc3\xa9</market_type></binary></config>");
  const ScopedCurrentDir inPackage(folder);
  const std::string command =
      "\"" + testing_support::builtProgram("console_echo").string() + "\" >out.txt 2>err.txt";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(readFile(folder / "out.txt"),
            platform::toUtf8(u"folder " + *platform::currentDirectory() + u"\nmarket caf\u00e9\n"));
  EXPECT_EQ(readFile(folder / "err.txt"), "market caf\xc3\xa9\n");
}

}  // namespace
