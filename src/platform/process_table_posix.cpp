// Processes come from /proc, read one at a time as the walk asks for them.
#include "platform/process_table.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string>

#include "platform/codepage.h"
#include "platform/files.h"

namespace platform {

namespace {

const std::string kDeletedSuffix = " (deleted)";

// The file name of the process's executable, from the link /proc/PID/exe.
std::optional<std::string> exeFileName(const std::string& procDir) {
  const std::string link = procDir + "/exe";
  std::string target(4096, '\0');
  ssize_t length;
  do {
    length = ::readlink(link.c_str(), target.data(), target.size());
  } while (length < 0 && errno == EINTR);
  if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return std::nullopt;
  target.resize(static_cast<std::size_t>(length));
  if (target.size() > kDeletedSuffix.size() && target.ends_with(kDeletedSuffix)) {
    target.resize(target.size() - kDeletedSuffix.size());
  }
  return target.substr(target.rfind('/') + 1);
}

}  // namespace

std::uint32_t currentProcessId() {
  return static_cast<std::uint32_t>(::getpid());
}

ProcessLookup snapshotProcesses() {
  int readable;
  do {
    readable = ::access("/proc/self/stat", R_OK);
  } while (readable != 0 && errno == EINTR);
  if (readable != 0) return {};
  return [](std::uint32_t id) -> std::optional<ProcessEntry> {
    const std::string procDir = "/proc/" + std::to_string(id);
    // "PID (NAME) STATE PPID ...": the name may itself hold spaces and
    // parentheses, so the fields after it start at the last ')'.
    // Read with the file layer, which retries what a signal interrupts.
    const std::string stat = readFileBytes(toWide(procDir + "/stat")).value_or("");
    const auto open = stat.find('(');
    const auto close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open ||
        close + 4 >= stat.size()) {
      return std::nullopt;
    }
    std::uint32_t parentId = 0;
    const auto parentField = stat.find(' ', close + 2);  // after ") S"
    if (parentField == std::string::npos) return std::nullopt;
    const char* first = stat.data() + parentField + 1;
    const auto [end, error] = std::from_chars(first, stat.data() + stat.size(), parentId);
    if (error != std::errc()) return std::nullopt;
    const auto exe = exeFileName(procDir);
    return ProcessEntry{parentId, toWide(exe ? *exe : stat.substr(open + 1, close - open - 1))};
  };
}

}  // namespace platform
