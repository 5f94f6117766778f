#include "platform/files.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
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
  DeleteFileW(asWide(path.c_str()));
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

  // Flushes the file to disk and moves it over `target`, which ends with
  // `attributes`. An existing target (`replace`) keeps its identity:
  // ReplaceFileW gives the new file its security, creation time and streams.
  bool moveOver(const std::u16string& target, DWORD attributes, bool replace) {
    if (!FlushFileBuffers(file_.get())) return false;
    file_.reset(INVALID_HANDLE_VALUE);  // the contents are on disk
    // Set on the new file beforehand: Wine's ReplaceFileW keeps its attributes
    // rather than the replaced file's (a hidden live file would lose that).
    SetFileAttributesW(asWide(path_.c_str()), attributes);
    const auto move = [&] {
      return MoveFileExW(asWide(path_.c_str()), asWide(target.c_str()),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    };
    bool moved =
        replace ? ReplaceFileW(asWide(fullPath(target).c_str()), asWide(fullPath(path_).c_str()),
                               nullptr, 0, nullptr, nullptr) != 0
                : move();
    // After these two the old file has left its name and the new one is whole
    // under its own: the move finishes the replacement.
    const DWORD error = moved ? 0 : GetLastError();
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
      moved = move();
    }
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

bool copyFile(const std::u16string& from, const std::u16string& to) {
  InputFile source(from);
  FileReplacement copy(to, source);
  return copy.copyRest(source) && copy.commit();
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
  if (!ended_) sourceMode_ = info.dwFileAttributes;
}

FileReplacement::~FileReplacement() = default;

bool FileReplacement::ready() {
  if (ended_ || temp_) return !ended_;
  temp_ = std::make_unique<Temporary>();
  temp_->attributes = attributesOf(path_);
  if (temp_->attributes == INVALID_FILE_ATTRIBUTES && copy_ &&
      GetLastError() == ERROR_FILE_NOT_FOUND) {
    // A new file takes the source's attributes, as CopyFileW gives them.
    temp_->attributes = sourceMode_;
    temp_->replace = false;
  } else if (temp_->attributes == INVALID_FILE_ATTRIBUTES ||
             (temp_->attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    // Windows refuses to replace a read-only file; say so here as well, since
    // not every Win32 implementation enforces it (Wine running as root does not).
    ended_ = true;
  }
  ended_ = ended_ || !temp_->file.create(path_);
  return !ended_;
}

bool FileReplacement::leavesWritable() {
  return ready() && (temp_->attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool FileReplacement::write(std::string_view bytes) {
  ended_ = !ready() || !writeAll(temp_->file.get(), bytes);
  return !ended_;
}

bool FileReplacement::copyRest(InputFile& source) {
  if (!ready()) return false;
  std::vector<char> buffer(64 * 1024);
  for (std::ptrdiff_t got = 1; got != 0;) {
    got = source.read(buffer);
    ended_ = ended_ || got < 0;
    if (ended_ || !write({buffer.data(), static_cast<std::size_t>(got)})) return false;
  }
  return true;
}

bool FileReplacement::commit(FolderFlush) {
  if (!ready()) return false;
  ended_ = true;
  // Each move is written through: the folder needs no flush of its own.
  const bool moved = temp_->file.moveOver(path_, temp_->attributes, temp_->replace);
  temp_.reset();
  return moved;
}

void flushFolders(const std::vector<std::u16string>&) {}

}  // namespace platform
