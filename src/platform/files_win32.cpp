#include "platform/files.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <iterator>
#include <vector>

#include "platform/wide.h"

namespace platform {

const char16_t kPathSeparator = u'\\';

namespace {

// How many names a temporary file tries before giving up.
constexpr int kNameAttempts = 100;

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
  void reset(HANDLE handle) {
    if (valid()) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_;
};

// The status behind the last error, when the system keeps it (ntdll's
// RtlGetLastNtStatus); 0 otherwise.
LONG lastNtStatus() {
  using Getter = LONG(WINAPI*)();
  static const Getter getter = [] {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll == nullptr ? nullptr
                            : reinterpret_cast<Getter>(reinterpret_cast<void (*)()>(
                                  GetProcAddress(ntdll, "RtlGetLastNtStatus")));
  }();
  return getter != nullptr ? getter() : 0;
}

// True when the last error says that another program holds the file: it is
// open without the sharing that the operation needs, locked, or deleted but
// still open (access denied with STATUS_DELETE_PENDING behind it; any other
// access denied is for good).
bool heldByAnother() {
  constexpr LONG kDeletePending = static_cast<LONG>(0xC0000056);
  switch (GetLastError()) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_DELETE_PENDING:
      return true;
    case ERROR_ACCESS_DENIED:
      return lastNtStatus() == kDeletePending;
    default:
      return false;
  }
}

// Tries `attempt` (true when done, else the last error set) again while it
// fails because another program holds the file, after each of kInUseWaitsMs;
// the last error is that of the last try.
template <typename Attempt>
bool whileHeld(Attempt attempt) {
  for (std::size_t tries = 0;; ++tries) {
    if (attempt()) return true;
    if (tries == std::size(kInUseWaitsMs) || !heldByAnother()) return false;
    const DWORD error = GetLastError();
    Sleep(static_cast<DWORD>(kInUseWaitsMs[tries]));
    SetLastError(error);
  }
}

// What the last error says of a failed replacement.
FileFailure lastFailure() {
  const DWORD error = GetLastError();
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_DELETE_PENDING:
      return {FileProblem::InUse, error};
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return {heldByAnother() ? FileProblem::InUse : FileProblem::AccessDenied, error};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return {FileProblem::DiskFull, error};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return {FileProblem::Missing, error};
    default:
      return {FileProblem::Other, error};
  }
}

// Opens `path` with CreateFileW, waiting while another program holds it.
HANDLE openWhileHeld(const std::u16string& path, DWORD access, DWORD share, DWORD disposition,
                     DWORD flags) {
  HANDLE file = INVALID_HANDLE_VALUE;
  whileHeld([&] {
    file = CreateFileW(asWide(path.c_str()), access, share, nullptr, disposition, flags, nullptr);
    return file != INVALID_HANDLE_VALUE;
  });
  return file;
}

// True when nothing holds the file at `path` against its removal, or there is
// no file there: it opens for DELETE beside any handle that shares deletion.
// Asked before ReplaceFileW, which under Wine leaves a temporary name of its
// own behind when it fails on a held file.
bool freeToReplace(const std::u16string& path) {
  const HANDLE file = CreateFileW(asWide(path.c_str()), DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  CloseHandle(file);
  return true;
}

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

// The full path of `path`: ReplaceFileW under Wine refuses a relative one.
std::u16string fullPath(const std::u16string& path) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetFullPathNameW(asWide(path.c_str()), static_cast<DWORD>(buffer.size()),
                                          buffer.data(), nullptr);
    if (length == 0) return path;
    if (length < buffer.size()) return fromWide(buffer.data(), length);
    buffer.resize(length);
  }
}

// Deletes the file at `path`, read-only or not.
void removeFile(const std::u16string& path) {
  const DWORD attributes = attributesOf(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(asWide(path.c_str()), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  whileHeld([&] { return DeleteFileW(asWide(path.c_str())) != 0; });
}

// A temporary file beside the file that it is to replace, named as ours: open
// for writing until it is moved, and removed at the end of its life unless it
// was moved over that file.
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    file_.reset(INVALID_HANDLE_VALUE);
    if (!path_.empty()) removeFile(path_);
  }
  HANDLE get() const { return file_.get(); }

  // Creates the file beside `target`.
  bool create(const std::u16string& target) {
    static std::uint64_t calls = 0;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
      path_ = temporaryPath(target, static_cast<std::uint64_t>(now) ^
                                        (std::uint64_t{GetCurrentProcessId()} << 40) ^ ++calls);
      file_.reset(CreateFileW(asWide(path_.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file_.valid()) return true;
      const DWORD error = GetLastError();
      path_.clear();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
  }

  // Flushes the file to disk and closes it, once, leaving it with
  // `attributes`, which the file it replaces is to end with.
  bool flush(DWORD attributes) {
    if (!file_.valid()) return true;
    if (!FlushFileBuffers(file_.get())) return false;
    file_.reset(INVALID_HANDLE_VALUE);  // the contents are on disk
    // Set on the new file beforehand: Wine's ReplaceFileW keeps its attributes
    // rather than the replaced file's (a hidden live file would lose that).
    SetFileAttributesW(asWide(path_.c_str()), attributes);
    return true;
  }

  // Flushes the file unless flushed and moves it over `target`, which ends with
  // `attributes`. An existing target (`replace`) keeps its identity:
  // ReplaceFileW gives the new file its security, creation time and streams.
  bool moveOver(const std::u16string& target, DWORD attributes, bool replace) {
    if (!flush(attributes)) return false;
    const auto move = [&] {
      return MoveFileExW(asWide(path_.c_str()), asWide(target.c_str()),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    };
    const bool moved = whileHeld([&] {
      // A scanner may hold either file: the new one from the moment it is closed.
      if (!freeToReplace(target) || !freeToReplace(path_)) return false;
      if (!replace) return move();
      if (ReplaceFileW(asWide(fullPath(target).c_str()), asWide(fullPath(path_).c_str()), nullptr,
                       0, nullptr, nullptr) != 0) {
        return true;
      }
      // After these two the old file has left its name and the new one is
      // whole under its own: the move finishes the replacement.
      const DWORD error = GetLastError();
      return (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
              error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) &&
             move();
    });
    if (moved) path_.clear();
    return moved;
  }

 private:
  Handle file_{INVALID_HANDLE_VALUE};
  std::u16string path_;  // empty when there is no file, or once it is moved
};

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

std::vector<std::u16string> findLeftovers() {
  std::vector<std::u16string> found;
  WIN32_FIND_DATAW entry;
  const HANDLE first = FindFirstFileW(L"*", &entry);
  if (first == INVALID_HANDLE_VALUE) return found;
  const std::unique_ptr<void, decltype(&FindClose)> find(first, &FindClose);
  do {
    std::u16string name = fromWide(entry.cFileName);
    if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        isTemporaryName(name)) {
      found.push_back(std::move(name));
    }
  } while (FindNextFileW(find.get(), &entry));
  return found;
}

void removeLeftovers() {
  for (const std::u16string& name : findLeftovers()) removeFile(name);
}

std::optional<std::string> readFileBytes(const std::u16string& path) {
  Handle file(openWhileHeld(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN));
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
  const HANDLE file = openWhileHeld(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN);
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

struct FileReplacement::Temporary {
  TempFile file;
  DWORD attributes = 0;  // what the file ends with
  bool replace = true;   // there is a file to replace
};

FileReplacement::FileReplacement(const std::u16string& path) : path_(path) {}

FileReplacement::FileReplacement(const std::u16string& path, const InputFile& source)
    : path_(path), copy_(true) {
  BY_HANDLE_FILE_INFORMATION info;
  ended_ = !source.isOpen() ||
           !GetFileInformationByHandle(reinterpret_cast<HANDLE>(source.handle_), &info);
  if (ended_) failure_ = {FileProblem::Missing, 0};
  if (!ended_) sourceMode_ = info.dwFileAttributes;
}

FileReplacement::~FileReplacement() = default;

bool FileReplacement::create() {
  if (ended_ || temp_) return !ended_;
  temp_ = std::make_unique<Temporary>();
  temp_->attributes = attributesOf(path_);
  if (temp_->attributes == INVALID_FILE_ATTRIBUTES && copy_ &&
      GetLastError() == ERROR_FILE_NOT_FOUND) {
    // A new file takes the source's attributes, as CopyFileW gives them.
    temp_->attributes = sourceMode_;
    temp_->replace = false;
  } else if (temp_->attributes == INVALID_FILE_ATTRIBUTES) {
    failure_ = lastFailure();
    ended_ = true;
  } else if ((temp_->attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    // Windows refuses to replace a read-only file; say so here as well, since
    // not every Win32 implementation enforces it (Wine running as root does not).
    failure_ = {FileProblem::AccessDenied, 0};
    ended_ = true;
  }
  if (!ended_ && !temp_->file.create(path_)) {
    failure_ = lastFailure();
    ended_ = true;
  }
  return !ended_;
}

bool FileReplacement::leavesWritable() {
  return create() && (temp_->attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool FileReplacement::write(std::string_view bytes) {
  if (!create() || sealed_) return false;
  ended_ = !writeAll(temp_->file.get(), bytes);
  if (ended_) failure_ = lastFailure();
  return !ended_;
}

bool FileReplacement::copyRest(InputFile& source) {
  if (!create() || sealed_) return false;
  std::vector<char> buffer(64 * 1024);
  for (std::ptrdiff_t got = 1; got != 0;) {
    got = source.read(buffer);
    if (got < 0) failure_ = lastFailure();
    ended_ = ended_ || got < 0;
    if (ended_ || !write({buffer.data(), static_cast<std::size_t>(got)})) return false;
  }
  return true;
}

bool FileReplacement::seal() {
  if (!create()) return false;
  sealed_ = true;
  if (!temp_->file.flush(temp_->attributes)) {
    failure_ = lastFailure();
    ended_ = true;
  }
  return !ended_;
}

bool FileReplacement::commit(FolderFlush) {
  if (!create()) return false;
  ended_ = true;
  // Each move is written through: the folder needs no flush of its own.
  const bool moved = temp_->file.moveOver(path_, temp_->attributes, temp_->replace);
  if (!moved) failure_ = lastFailure();
  temp_.reset();
  return moved;
}

void flushFolders(const std::vector<std::u16string>&) {}

}  // namespace platform
