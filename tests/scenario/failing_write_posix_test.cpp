// A write that fails halfway (here: at the file size limit) must leave the
// live file as it was, with no temporary file beside it.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "row_names.h"

#include "package_folder.h"
#include "test_support.h"

namespace {

using namespace scenario;

// Bare LF line ends grow by one byte a line when written back.
const std::string kVariant =
    "[Setup]\nInf=INSTALL.INF\nBar=B8DF\nMarket=en-us\n" + std::string(8000, '\n');

struct FailingWriteCase {
  const char* what;
  std::size_t limit;
  std::string liveAfter;
};

const FailingWriteCase kFailingWriteCases[] = {
    // The old live file is small enough to be patched: a run that went on
    // after the failed copy would show.
    {"the copy fails part-way: no patch follows", kVariant.size() / 2,
     samplePackage()["kvsetup.cif"]},
    {"the variant fits, its patched text does not", kVariant.size() + 100,
     samplePackage()["kvsetup.cif"]},
};

class FailingWrite : public testing::TestWithParam<FailingWriteCase> {};

TEST_P(FailingWrite, LeavesTheLiveFileWhole) {
  const FailingWriteCase& c = GetParam();
  const Folder before = with(samplePackage(), "kvsetup_o.cif", kVariant);
  testing_support::TempDir stubs;
  testing_support::TempDir package;
  writeFolder(package.path(), before);
  const auto command = launchCommand(stubs.path(), kO, false);
  // The tool inherits this process's file size limit, lowered for its run.
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit lowered = saved;
  lowered.rlim_cur = c.limit;
  ::setrlimit(RLIMIT_FSIZE, &lowered);
  const int status = testing_support::runProcess(command, package.path());
  ::setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(status, 0) << c.what;
  EXPECT_EQ(readFolder(package.path()), with(before, "kvsetup.cif", c.liveAfter)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Limits, FailingWrite, testing::ValuesIn(kFailingWriteCases),
                         testing_support::ByWhat());

}  // namespace
