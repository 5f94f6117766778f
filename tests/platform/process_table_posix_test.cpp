// The process table read from /proc, for processes whose executable is gone.
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/process_table.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// A child that has ended and is not yet reaped has no executable: its name
// comes from its stat line, where a name may hold blanks and parentheses.
TEST(ProcessTable, EndedChildIsNamedByItsStatLine) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::prctl(PR_SET_NAME, "a) b (c");
    ::_exit(0);
  }
  siginfo_t info{};
  ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT);
  const auto entry = platform::snapshotProcesses()(static_cast<std::uint32_t>(child));
  ::waitpid(child, nullptr, 0);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->parentId, static_cast<std::uint32_t>(::getpid()));
  EXPECT_EQ(entry->exeName, u"a) b (c");
}

// A launcher may be deleted while it runs (one that cleans up after itself);
// its name stays the name it was started under.
TEST(ProcessTable, DeletedExecutableKeepsItsName) {
  testing_support::TempDir dir;
  const fs::path copy = dir / "TRKVa (1)_TR01_x.exe";
  fs::copy_file("/bin/sleep", copy);
  std::string path = copy.string();
  std::string seconds = "30";
  char* const argv[] = {path.data(), seconds.data(), nullptr};
  pid_t child = 0;
  // posix_spawn returns once the child runs the copy.
  ASSERT_EQ(::posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ), 0);
  fs::remove(copy);
  const auto entry = platform::snapshotProcesses()(static_cast<std::uint32_t>(child));
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->exeName, u"TRKVa (1)_TR01_x.exe");
}

}  // namespace
