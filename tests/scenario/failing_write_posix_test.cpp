// A write that fails halfway (here: at the file size limit) must leave the
// live file as it was, with no temporary file beside it.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "package_folder.h"
#include "test_support.h"

namespace {

using namespace scenario;

// Lowers this process's file size limit, which the programs it starts
// inherit, until the end of the scope.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};

TEST(FailingWrite, LeavesTheLiveFileWhole) {
  // Bare LF line ends grow by one byte a line when written back, so the copy
  // of the variant fits under the limit and the patched text does not.
  std::string variant = "[Setup]\nInf=INSTALL.INF\nBar=B8DF\nMarket=en-us\n";
  while (variant.size() < 8000) variant += "filler line of the setup file\n";
  const Folder before = with(samplePackage(), "kvsetup_o.cif", variant);

  testing_support::TempDir stubs;
  testing_support::TempDir package;
  writeFolder(package.path(), before);
  const auto command = launchCommand(stubs.path(), "TRKVpack_v2_TR0107_x.exe", false);
  {
    const FileSizeLimit limit(variant.size() + 100);
    EXPECT_EQ(testing_support::runProcess(command, package.path()), 0);
  }
  EXPECT_EQ(readFolder(package.path()), with(before, "kvsetup.cif", variant));
}

}  // namespace
