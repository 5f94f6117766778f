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

}  // namespace

std::filesystem::path programDir() {
  std::wstring buffer(32768, L'\0');
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  buffer.resize(length);
  return std::filesystem::path(buffer).parent_path();
}

int runProcess(const std::vector<std::filesystem::path>& argv, const std::filesystem::path& workDir,
               const std::filesystem::path& output, const std::filesystem::path& input) {
  std::wstring commandLine;
  for (const auto& arg : argv) {
    if (!commandLine.empty()) commandLine += L' ';
    commandLine += quoteArgument(arg.wstring());
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE in = INVALID_HANDLE_VALUE;
  SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
  if (!output.empty()) {
    file = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = file;
  }
  if (!input.empty() && file != INVALID_HANDLE_VALUE) {
    in = CreateFileW(input.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherited, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return -1;
    }
    startup.hStdInput = in;
  }
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(argv[0].c_str(), commandLine.data(), nullptr, nullptr, !output.empty(), 0,
                     nullptr, workDir.c_str(), &startup, &process);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
  if (!started) {
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
