#include <windows.h>

#include "test_support.h"

namespace testing_support {

const char* const kExeSuffix = ".exe";

namespace {

// Quotes one argument so that the C runtime's parser gives it back unchanged.
std::wstring quoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// Owns one handle.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// A new empty file at `path` that a started program inherits; invalid for an empty path.
HANDLE inheritedFile(const std::filesystem::path& path) {
  if (path.empty()) return INVALID_HANDLE_VALUE;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::filesystem::path programDir() {
  std::wstring buffer(32768, L'\0');
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  buffer.resize(length);
  return std::filesystem::path(buffer).parent_path();
}

int runProcess(const std::vector<std::filesystem::path>& argv, const std::filesystem::path& workDir,
               const OutputFiles& output) {
  std::wstring commandLine;
  for (const auto& arg : argv) {
    if (!commandLine.empty()) commandLine += L' ';
    commandLine += quoteArgument(arg.wstring());
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  const Handle out(inheritedFile(output.out));
  const Handle err(inheritedFile(output.err));
  const bool redirected = !output.out.empty() || !output.err.empty();
  if (redirected) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output.out.empty() ? GetStdHandle(STD_OUTPUT_HANDLE) : out.get();
    startup.hStdError = output.err.empty() ? GetStdHandle(STD_ERROR_HANDLE) : err.get();
  }
  PROCESS_INFORMATION process{};
  if ((!output.out.empty() && out.get() == INVALID_HANDLE_VALUE) ||
      (!output.err.empty() && err.get() == INVALID_HANDLE_VALUE) ||
      !CreateProcessW(argv[0].c_str(), commandLine.data(), nullptr, nullptr, redirected, 0, nullptr,
                      workDir.c_str(), &startup, &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

}  // namespace testing_support
