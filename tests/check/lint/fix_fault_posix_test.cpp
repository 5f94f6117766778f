// --fix meets a failing system call where it replaces config.xml (strace
// injects it into the real check tool): nothing is written, config.xml and
// the leftovers stay as they were, and the tool says why.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "check_support.h"
#include "package_folder.h"
#include "row_names.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;

const fs::path kStrace = "/usr/bin/strace";

struct FaultCase {
  const char* what;
  const char* inject;  // strace's -e inject= option
  const char* said;    // what the tool says after "config.xml "
};

const FaultCase kFaultCases[] = {
    {"the rename refused", "inject=rename,renameat,renameat2:error=EACCES",
     "cannot be replaced: access is denied (the file is read-only, or not this user's to change) "
     "(system error 13)"},
    {"the flush failing", "inject=fsync,fdatasync:error=EIO",
     "cannot be replaced (system error 5)"},
    {"the disk full", "inject=fsync,fdatasync:error=ENOSPC",
     "cannot be replaced: the disk is full (system error 28)"},
};

class FailingReplacement : public testing::TestWithParam<FaultCase> {};

TEST_P(FailingReplacement, WritesNothingAndSaysSo) {
  if (!fs::exists(kStrace)) GTEST_SKIP() << "strace is not installed";
  const TempDir package;
  const std::string config = check_support::oneEntryConfig(
      {"<package_type>O</package_type>", "<market_type>\n  de-de\n</market_type>"});
  scenario::writeFolder(package.path(),
                        {{"config.xml", config}, {"kvsetup.cif.pkgcustomize-Ab12Cd", "partial"}});
  // The replacement's are the only renames and flushes the tool makes. A
  // sanitized build cannot look for leaks under ptrace.
  std::vector<fs::path> argv{
      kStrace,          "-qq", "-f", "-E", "ASAN_OPTIONS=detect_leaks=0", "-o", "/dev/null", "-e",
      GetParam().inject};
  argv.insert(argv.end(), {testing_support::builtProgram("pkgcustomize-check"), "--all", "--fix",
                           package.path()});
  const auto run = testing_support::runCaptured(argv, package.path());
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("pkgcustomize-check: config.xml " + std::string(GetParam().said) +
                            ": nothing written"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(readFile(package / "config.xml"), config);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(package.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"config.xml", "kvsetup.cif.pkgcustomize-Ab12Cd"}));
}

INSTANTIATE_TEST_SUITE_P(Faults, FailingReplacement, testing::ValuesIn(kFaultCases),
                         testing_support::ByWhat());

// config.xml changed by another program between the check's reading and
// the replacement: strace logs the reading, then holds the guard's open for
// 3 s while the test writes the file. (strace starts where no config.xml is,
// or it would take the relative name for that file.) The tool leaves the
// other program's bytes.
TEST(ChangedConfig, IsLeftAsTheOtherProgramWroteIt) {
  if (!fs::exists(kStrace)) GTEST_SKIP() << "strace is not installed";
  const TempDir package;
  const TempDir elsewhere;
  scenario::writeFolder(
      package.path(),
      {{"config.xml", check_support::oneEntryConfig({"<package_type>O </package_type>"})}});
  const fs::path log = elsewhere / "trace";
  auto run = std::async(std::launch::async, [&] {
    return testing_support::runCaptured(
        {kStrace, "-qq", "-f", "-E", "ASAN_OPTIONS=detect_leaks=0", "-o", log, "-P",
         package / "config.xml", "-P", "config.xml", "-e", "trace=openat", "-e",
         "inject=openat:delay_enter=3000000:when=2",
         testing_support::builtProgram("pkgcustomize-check"), "--all", "--fix", package.path()},
        elsewhere.path());
  });
  const auto read = [&log] {
    return fs::exists(log) && readFile(log).find(") = ") != std::string::npos;
  };
  for (int i = 0; i < 1000 && !read(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  testing_support::writeFile(package / "config.xml", "<config/>");
  const auto output = run.get();
  EXPECT_EQ(output.status, 2) << output.output;
  EXPECT_NE(output.output.find("config.xml changed after it was read: nothing written"),
            std::string::npos)
      << output.output;
  EXPECT_EQ(readFile(package / "config.xml"), "<config/>");
}

}  // namespace
