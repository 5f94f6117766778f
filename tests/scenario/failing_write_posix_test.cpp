// A write that fails halfway (here: the file size limit) must leave the live
// file as it was, with no temporary file beside it.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "package_folder.h"
#include "test_support.h"

namespace {

using namespace scenario;

// Runs `command` in `dir` with files limited to `limit` bytes; its exit status.
int runWithFileSizeLimit(const std::vector<std::filesystem::path>& command,
                         const std::filesystem::path& dir, rlim_t limit) {
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit fileSize{limit, limit};
    if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0) ::_exit(126);
    std::vector<std::string> args;
    for (const auto& part : command) args.push_back(part.string());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

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
  EXPECT_EQ(runWithFileSizeLimit(command, package.path(), variant.size() + 100), 0);
  EXPECT_EQ(readFolder(package.path()), with(before, "kvsetup.cif", variant));
}

}  // namespace
