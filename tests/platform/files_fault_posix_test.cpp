// A replacement meets a failing system call (strace injects it into a small
// program that replaces one file): it is made all the same where the failure
// has a way round, else the file stays as it was; either way nothing of ours
// is left beside it.
#include <sstream>

#include <gtest/gtest.h>

#include "row_names.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Folder;
using testing_support::TempDir;
using namespace std::string_literals;

// A fault at the first call to `call` whose trace line holds `marker`
// (after `skip` such calls), e.g. "openat", "O_TMPFILE", "error=EOPNOTSUPP",
// and at the calls to `call` that follow it, `calls` in all.
struct Fault {
  std::string call;
  std::string marker;
  std::string action;
  int skip = 0;
  int calls = 1;
};

struct FaultCase {
  const char* what;
  const char* operation;  // the probe's: "copy" the source over the live file, or "write" it
  std::vector<Fault> faults;
  bool replaced;
  const char* problem;  // why the probe says it failed
};

// clang-format off
const FaultCase kFaultCases[] = {
    {"unnamed files refused: a named one takes over", "write",
     {{"openat", "O_TMPFILE", "error=EOPNOTSUPP"}}, true, ""},
    {"the name for the unnamed file taken: another name", "write", {{"linkat", "", "error=EEXIST"}}, true, ""},
    {"every name for the unnamed file taken: no replacement", "write",
     {{"linkat", "", "error=EEXIST", 0, 100}}, false, "other"},
    {"the unnamed file cannot be named", "write", {{"linkat", "", "error=EACCES"}}, false, "access-denied"},
    {"the flush of the new file fails", "write", {{"fsync", "", "error=EIO"}}, false, "other"},
    {"the flush of the folder fails after the rename", "write", {{"fsync", "", "error=EIO", 1}}, true, ""},
    {"the rename fails", "write", {{"rename", "", "error=EIO"}}, false, "other"},
    {"the rename of a named file fails: the file goes", "write",
     {{"openat", "O_TMPFILE", "error=EOPNOTSUPP"}, {"rename", "", "error=EIO"}}, false, "other"},
    {"the named file cannot be made", "write", {{"openat", "O_TMPFILE", "error=EACCES", 0, 2}}, false, "access-denied"},
    {"unnamed files refused and the first name taken: another name", "write",
     {{"openat", "O_TMPFILE", "error=EEXIST", 0, 2}}, true, ""},
    {"unnamed files refused and every name taken: no replacement", "write",
     {{"openat", "O_TMPFILE", "error=EEXIST", 0, 101}}, false, "other"},
    {"a write interrupted: made again", "write", {{"write", "new bytes", "error=EINTR"}}, true, ""},
    {"the disk full at a write", "write", {{"write", "new bytes", "error=ENOSPC"}}, false, "disk-full"},
    {"no copy between these file systems: read and written", "copy",
     {{"copy_file_range", "", "error=EXDEV"}}, true, ""},
    {"no copy between files on this file system: read and written", "copy",
     {{"copy_file_range", "", "error=EOPNOTSUPP"}}, true, ""},
    {"the copy between files fails", "copy", {{"copy_file_range", "", "error=EIO"}}, false, "other"},
    {"a read fails after the copy between files was refused", "copy",
     {{"copy_file_range", "", "error=EXDEV"}, {"read", "new bytes", "error=EIO"}}, false, "other"},
    {"the disk full at a write after the copy between files was refused", "copy",
     {{"copy_file_range", "", "error=EXDEV"}, {"write", "new bytes", "error=ENOSPC"}}, false, "disk-full"},
};
// clang-format on

const std::string kOld = "old bytes\n";
const std::string kNew = "new bytes\n";

const fs::path kStrace = "/usr/bin/strace";

// The folder before the probe runs.
Folder before(const FaultCase& c) {
  Folder folder{{"live.txt", kOld}};
  if (std::string(c.operation) == "copy") folder["source.txt"] = kNew;
  return folder;
}

// Runs the probe under strace in a fresh `dir` holding `before(c)`, with
// `inject` options, tracing `calls` into `trace`; its exit status.
int runProbe(const FaultCase& c, const fs::path& dir, const std::vector<std::string>& inject,
             const std::string& calls, const fs::path& trace) {
  fs::remove_all(dir);
  fs::create_directory(dir);
  testing_support::writeFolder(dir, before(c));
  // A sanitized probe cannot look for leaks under ptrace: it would fail at exit.
  std::vector<fs::path> argv{kStrace, "-qq", "-E", "ASAN_OPTIONS=detect_leaks=0",
                             "-o",    trace, "-e", "trace=" + calls};
  for (const std::string& option : inject) argv.insert(argv.end(), {"-e", option});
  argv.push_back(testing_support::builtProgram("replace_probe"));
  argv.push_back(c.operation);
  if (std::string(c.operation) == "copy") {
    argv.insert(argv.end(), {dir / "source.txt", dir / "live.txt"});
  } else {
    argv.insert(argv.end(), {dir / "live.txt", kNew});
  }
  return testing_support::runProcess(argv, dir, dir.parent_path() / "probe.out");
}

// Which call to `fault.call` in `trace` the fault is for, from 1; 0 when none.
int callNumber(const fs::path& trace, const Fault& fault) {
  std::istringstream lines(testing_support::readFile(trace));
  int number = 0;
  int skip = fault.skip;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(fault.call + "(", 0) != 0) continue;
    ++number;
    if (line.find(fault.marker) != std::string::npos && skip-- == 0) return number;
  }
  return 0;
}

int countOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class FailingCall : public testing::TestWithParam<FaultCase> {};

TEST_P(FailingCall, ReplacesWholeOrNotAtAllAndLeavesNothing) {
  const FaultCase& c = GetParam();
  if (!fs::exists(kStrace)) GTEST_SKIP() << "strace is not installed";
  TempDir work;
  const fs::path dir = work / "package";
  std::string calls;
  for (const Fault& fault : c.faults) calls += (calls.empty() ? "" : ",") + fault.call;
  // Each fault is placed by a run that has the ones before it.
  std::vector<std::string> inject;
  int injected = 0;
  for (const Fault& fault : c.faults) {
    runProbe(c, dir, inject, calls, work / "reference.trace");
    const int number = callNumber(work / "reference.trace", fault);
    ASSERT_GT(number, 0) << "no " << fault.call << " call with " << fault.marker;
    inject.push_back("inject=" + fault.call + ":" + fault.action + ":when=" +
                     std::to_string(number) + ".." + std::to_string(number + fault.calls - 1));
    injected += fault.calls;
  }
  const int status = runProbe(c, dir, inject, calls, work / "run.trace");
  ASSERT_EQ(countOf(testing_support::readFile(work / "run.trace"), "(INJECTED)"), injected);
  EXPECT_EQ(status, c.replaced ? 0 : 1);
  EXPECT_EQ(testing_support::readFile(work / "probe.out"), c.replaced ? "" : c.problem + "\n"s);
  Folder after = before(c);
  if (c.replaced) after["live.txt"] = kNew;
  EXPECT_EQ(testing_support::readFolder(dir), after);
}

INSTANTIATE_TEST_SUITE_P(Faults, FailingCall, testing::ValuesIn(kFaultCases),
                         testing_support::ByWhat());

}  // namespace
