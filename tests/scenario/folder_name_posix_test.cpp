// A package folder whose name is not UTF-8 (Latin-1, as an old archive or a
// Windows share can leave it) is customised like any other.
#include <gtest/gtest.h>

#include "package_folder.h"
#include "test_support.h"

namespace {

using namespace scenario;

TEST(FolderName, NotUtf8IsCustomised) {
  testing_support::TempDir stubs;
  testing_support::TempDir parent;
  const std::filesystem::path package = parent / "Paket caf\xe9 \xff";
  std::filesystem::create_directory(package);
  writeFolder(package, samplePackage());
  const auto command = launchCommand(stubs.path(), kO, false);
  EXPECT_EQ(testing_support::runProcess(command, package), 0);
  EXPECT_EQ(readFolder(package), with(samplePackage(), "kvsetup.cif", kCifOPatched));
}

}  // namespace
