#include "platform/files.h"

#include <windows.h>

#include <vector>

#include "platform/wide.h"

namespace platform {

const char16_t kPathSeparator = u'\\';

namespace {

// Owns a file handle.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }
  // Closes now, reporting whether the close succeeded.
  bool close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
};

DWORD attributesOf(const std::u16string& path) {
  return GetFileAttributesW(asWide(path.c_str()));
}

bool writeAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// Creates an empty temporary file, named uniquely in the folder of `path`;
// empty when it cannot.
std::u16string createTempBeside(const std::u16string& path) {
  const auto slash = path.find_last_of(u"\\/");
  const std::u16string dir = slash == std::u16string::npos ? u"." : path.substr(0, slash + 1);
  wchar_t tempName[MAX_PATH];
  if (GetTempFileNameW(asWide(dir.c_str()), L"pkc", 0, tempName) == 0) return {};
  return fromWide(tempName);
}

}  // namespace

std::optional<std::u16string> currentDirectory() {
  // The first call sizes the buffer, so a directory of any length fits; the
  // loop covers a current directory changed between the two calls.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) return fromWide(buffer.data(), length);
    buffer.resize(length);
  }
}

bool changeDirectory(const std::u16string& path) {
  return SetCurrentDirectoryW(asWide(path.c_str())) != 0;
}

bool fileExists(const std::u16string& path) {
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW(asWide(path.c_str()), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

bool isReadOnly(const std::u16string& path) {
  const DWORD attributes = attributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool copyFile(const std::u16string& from, const std::u16string& to) {
  // Windows refuses to replace a read-only file; say so here as well, since
  // not every Win32 implementation enforces it (Wine running as root does not).
  if (isReadOnly(to)) return false;
  // Copied beside the target and moved over it in one step, so that a copy
  // that fails part-way (a full disk) leaves the target as it was.
  const std::u16string temp = createTempBeside(to);
  if (temp.empty()) return false;
  if (CopyFileW(asWide(from.c_str()), asWide(temp.c_str()), FALSE) &&
      MoveFileExW(asWide(temp.c_str()), asWide(to.c_str()),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileW(asWide(temp.c_str()));
  return false;
}

std::optional<std::string> readFileBytes(const std::u16string& path) {
  Handle file(CreateFileW(asWide(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                          nullptr));
  if (!file.valid()) return std::nullopt;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return std::nullopt;
  // One byte of room beyond the size lets the final read see the end of the file.
  std::string bytes(static_cast<std::size_t>(size.QuadPart) + 1, '\0');
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2);  // the file grew
    const std::size_t room = bytes.size() - filled;
    const DWORD chunk = room > (1u << 30) ? (1u << 30) : static_cast<DWORD>(room);
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + filled, chunk, &got, nullptr)) return std::nullopt;
    if (got == 0) break;
    filled += got;
  }
  bytes.resize(filled);
  return bytes;
}

InputFile::InputFile(const std::u16string& path) {
  const HANDLE file =
      CreateFileW(asWide(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  handle_ = reinterpret_cast<std::intptr_t>(file);
}

InputFile::~InputFile() {
  if (isOpen()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::ptrdiff_t InputFile::read(std::span<char> buffer) {
  if (!isOpen()) return -1;
  const DWORD chunk = buffer.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(buffer.size());
  DWORD got = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer.data(), chunk, &got, nullptr)) return -1;
  return static_cast<std::ptrdiff_t>(got);
}

FileReplacement::FileReplacement(const std::u16string& path) : path_(path) {
  const DWORD attributes = attributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    return;
  }
  temp_ = createTempBeside(path);
  if (temp_.empty()) return;
  handle_ = reinterpret_cast<std::intptr_t>(CreateFileW(asWide(temp_.c_str()), GENERIC_WRITE, 0,
                                                        nullptr, TRUNCATE_EXISTING,
                                                        FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileReplacement::~FileReplacement() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  if (!temp_.empty()) DeleteFileW(asWide(temp_.c_str()));
}

bool FileReplacement::write(std::string_view bytes) {
  failed_ = failed_ || handle_ == -1 || !writeAll(reinterpret_cast<HANDLE>(handle_), bytes);
  return !failed_;
}

bool FileReplacement::commit() {
  if (failed_ || handle_ == -1) return false;
  Handle file(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
  if (!FlushFileBuffers(file.get()) || !file.close()) return false;
  // Keep the live file's attributes (hidden, archive, ...) on its replacement.
  const DWORD attributes = attributesOf(path_);
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(asWide(temp_.c_str()), attributes);
  if (!MoveFileExW(asWide(temp_.c_str()), asWide(path_.c_str()),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return false;
  }
  temp_.clear();
  return true;
}

}  // namespace platform
