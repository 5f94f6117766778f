#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>

#include "test_support.h"

namespace testing_support {

const char* const kExeSuffix = "";

std::filesystem::path programDir() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

int runProcess(const std::vector<std::filesystem::path>& argv, const std::filesystem::path& workDir,
               const std::filesystem::path& output, const std::filesystem::path& input) {
  std::vector<std::string> args;
  for (const auto& arg : argv) args.push_back(arg.string());
  std::vector<char*> pointers;
  for (auto& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);

  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (!output.empty()) {
      const int file = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (file < 0 || ::dup2(file, STDOUT_FILENO) < 0 || ::dup2(file, STDERR_FILENO) < 0) {
        ::_exit(127);
      }
    }
    if (!input.empty()) {
      const int file = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
      if (file < 0 || ::dup2(file, STDIN_FILENO) < 0) ::_exit(127);
    }
    if (::chdir(workDir.c_str()) != 0) ::_exit(127);
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

}  // namespace testing_support
