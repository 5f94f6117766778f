// Holds a file open the way a virus scanner or an indexer does, for the
// in-use tests: hold_file PATH SHARE MILLISECONDS MARKER [PROGRAM].
// SHARE is what the handle lets others do: any of r (read), w (write), d
// (delete), or - for nothing. Once the file is open, MARKER is created; the
// file is let go MILLISECONDS after PROGRAM (an executable's name) has
// started, or after the open without one, or as soon as MARKER is removed.
// Exits 1 when the file cannot be opened.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <tlhelp32.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
bool running(const std::wstring& program) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
       more = Process32NextW(snapshot, &entry)) {
    found = _wcsicmp(entry.szExeFile, program.c_str()) == 0;
  }
  CloseHandle(snapshot);
  return found;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  const std::filesystem::path path = argv[1];
  const std::string share = argv[2];
  const auto hold = std::chrono::milliseconds(std::atoi(argv[3]));
  const std::filesystem::path marker = argv[4];
#ifdef _WIN32
  DWORD mode = 0;
  if (share.find('r') != std::string::npos) mode |= FILE_SHARE_READ;
  if (share.find('w') != std::string::npos) mode |= FILE_SHARE_WRITE;
  if (share.find('d') != std::string::npos) mode |= FILE_SHARE_DELETE;
  const HANDLE file = CreateFileW(path.wstring().c_str(), GENERIC_READ, mode, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
#else
  const int file = ::open(path.c_str(), O_RDONLY);
  if (file < 0) return 1;
#endif
  { std::ofstream created(marker); }
  auto start = std::chrono::steady_clock::now();
  const auto gone = [&] { return !std::filesystem::exists(marker); };
#ifdef _WIN32
  if (argc > 5) {
    const std::wstring program = std::filesystem::path(argv[5]).wstring();
    while (!running(program) && !gone()) Sleep(5);
    start = std::chrono::steady_clock::now();
  }
#endif
  // Checked now and then, so that the holder takes little from the run it times.
  while (std::chrono::steady_clock::now() - start < hold && !gone()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
#ifdef _WIN32
  CloseHandle(file);
#else
  ::close(file);
#endif
  return 0;
}
