// A run's writes leave each live file whole. A write that fails halfway (here:
// at the file size limit) leaves the package as it was, with no temporary file beside
// it; each live file written is replaced once, flushed before any rename, the
// renames follow one another, and the folder is flushed once, after the last
// (strace records the run's renames and flushes, in order).
#include <sys/resource.h>

#include <sstream>

#include <gtest/gtest.h>

#include "row_names.h"

#include "package_folder.h"
#include "test_support.h"

namespace {

using namespace scenario;
namespace fs = std::filesystem;

// Bare LF line ends grow by one byte a line when written back.
const std::string kVariant =
    "[Setup]\nInf=INSTALL.INF\nBar=B8DF\nMarket=en-us\n" + std::string(8000, '\n');

struct FailingWriteCase {
  const char* what;
  std::size_t limit;
};

const FailingWriteCase kFailingWriteCases[] = {
    // The old live file is small enough to be patched: a run that went on
    // after the failed copy would show.
    {"the copy fails part-way: no patch follows", kVariant.size() / 2},
    {"the variant fits, its patched text does not", kVariant.size() + 100},
};

class FailingWrite : public testing::TestWithParam<FailingWriteCase> {};

TEST_P(FailingWrite, LeavesTheLiveFileWhole) {
  const FailingWriteCase& c = GetParam();
  const Folder before = with(samplePackage(), "kvsetup_o.cif", kVariant);
  testing_support::TempDir stubs, package;
  writeFolder(package.path(), before);
  const auto command = launchCommand(stubs.path(), kO, false);
  // The tool inherits this process's file size limit, lowered for its run.
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const rlimit lowered{c.limit, saved.rlim_max};
  ::setrlimit(RLIMIT_FSIZE, &lowered);
  const int status = testing_support::runProcess(command, package.path());
  ::setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(status, 0) << c.what;
  EXPECT_EQ(readFolder(package.path()), before) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Limits, FailingWrite, testing::ValuesIn(kFailingWriteCases),
                         testing_support::ByWhat());

struct FlushCase {
  const char* what;
  std::string launcher;
  std::vector<std::string> calls;
};

const FlushCase kFlushCases[] = {
    {"typical .cif run", kO, {"fsync", "rename", "fsync"}},
    {"first .cmd run", kOCmd, {"fsync", "fsync", "rename", "rename", "fsync"}},
};

class Flushes : public testing::TestWithParam<FlushCase> {};

TEST_P(Flushes, BothFilesFlushedThenRenamedTogetherThenTheFolder) {
  const FlushCase& c = GetParam();
  if (!fs::exists("/usr/bin/strace")) GTEST_SKIP() << "strace is not installed";
  testing_support::TempDir stubs, package;
  writeFolder(package.path(), samplePackage());
  // A sanitized tool cannot look for leaks under ptrace: it would fail at exit.
  auto argv = launchCommand(stubs.path(), c.launcher, false);
  argv.insert(argv.begin(), {"/usr/bin/strace", "-fqqq", "-EASAN_OPTIONS=detect_leaks=0",
                             "-esignal=none", "-etrace=fsync,rename", "-o", stubs / "trace"});
  ASSERT_EQ(testing_support::runProcess(argv, package.path()), 0);
  std::vector<std::string> calls;
  std::istringstream lines(testing_support::readFile(stubs / "trace"));
  for (std::string line; std::getline(lines, line);) {
    const auto name = line.find_first_not_of("0123456789 ");  // after the process id
    calls.push_back(line.substr(name, line.find('(') - name));
  }
  EXPECT_EQ(calls, c.calls);
}

INSTANTIATE_TEST_SUITE_P(Runs, Flushes, testing::ValuesIn(kFlushCases), testing_support::ByWhat());

}  // namespace
