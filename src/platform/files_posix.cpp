#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "platform/codepage.h"

namespace platform {

const char16_t kPathSeparator = u'/';

namespace {

// Owns a file descriptor.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Hands the descriptor over to the caller.
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::string nativePath(const std::u16string& path) {
  return toNarrow(path);
}

// Opens `path` for reading when it is a regular file, with `info` filled in;
// -1 otherwise. The open does not wait: a FIFO with no writer would block it
// until one comes, and reading a regular file does not care.
int openRegularFile(const std::u16string& path, struct stat& info) {
  Fd fd(::open(nativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  return fd.release();
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool readOnlyMode(const struct stat& info) {
  return (info.st_mode & 0222) == 0;
}

// Creates a temporary file beside `target`, with the mode and owner of
// `like`, and names it in `temp`; the descriptor, or -1.
int createTempBeside(const std::string& target, const struct stat& like, std::string& temp) {
  const auto slash = target.rfind('/');
  temp = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) +
         ".pkgcustomize-XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    temp.clear();
    return -1;
  }
  // Owner first: changing it can clear set-id bits that the mode then restores.
  [[maybe_unused]] const int owned = ::fchown(fd, like.st_uid, like.st_gid);
  if (::fchmod(fd, like.st_mode & 07777) != 0) {
    ::close(fd);
    ::unlink(temp.c_str());
    temp.clear();
    return -1;
  }
  return fd;
}

// Flushes and closes the temporary file `fd` and renames it over `target`;
// the temporary file is gone either way.
bool moveTempOver(int fd, const std::string& temp, const std::string& target) {
  const bool synced = ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!synced || !closed || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  const auto slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.get() >= 0) ::fsync(dirFd.get());
  return true;
}

// Copies what is left of `from` to `to`: in the kernel where it can, else
// through a fixed-size buffer.
bool copyContents(int from, int to) {
  for (;;) {
    const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
    if (copied > 0) continue;
    if (copied == 0) return true;
    if (errno == EINTR) continue;
    // Not between these files or on this system: the buffer takes over where it stopped.
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
        errno == EBADF) {
      break;
    }
    return false;
  }
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!writeAll(to, {buffer, static_cast<std::size_t>(got)})) return false;
  }
}

}  // namespace

std::optional<std::u16string> currentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
  return toWide(buffer.data());
}

bool changeDirectory(const std::u16string& path) {
  return ::chdir(nativePath(path).c_str()) == 0;
}

bool fileExists(const std::u16string& path) {
  struct stat info;
  return ::stat(nativePath(path).c_str(), &info) == 0;
}

bool isReadOnly(const std::u16string& path) {
  const std::string native = nativePath(path);
  struct stat info;
  if (::stat(native.c_str(), &info) != 0) return false;
  // The mode bits count even for a user whom they do not bind (root), so that
  // a file marked read-only stays untouched whoever runs the tool.
  return readOnlyMode(info) || ::access(native.c_str(), W_OK) != 0;
}

bool copyFile(const std::u16string& from, const std::u16string& to) {
  struct stat info;
  Fd source(openRegularFile(from, info));
  if (source.get() < 0 || isReadOnly(to)) return false;
  info.st_uid = ::geteuid();
  info.st_gid = ::getegid();
  const std::string target = nativePath(to);
  std::string temp;
  Fd fd(createTempBeside(target, info, temp));
  if (fd.get() < 0) return false;
  if (!copyContents(source.get(), fd.get())) {
    ::unlink(temp.c_str());
    return false;
  }
  return moveTempOver(fd.release(), temp, target);
}

std::optional<std::string> readFileBytes(const std::u16string& path) {
  struct stat info;
  Fd fd(openRegularFile(path, info));
  if (fd.get() < 0) return std::nullopt;
  // One byte of room beyond the size lets the final read see the end of the file.
  std::string bytes(static_cast<std::size_t>(info.st_size) + 1, '\0');
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2);  // the file grew
    const ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  return bytes;
}

InputFile::InputFile(const std::u16string& path) {
  struct stat info;
  handle_ = openRegularFile(path, info);
}

InputFile::~InputFile() {
  if (isOpen()) ::close(static_cast<int>(handle_));
}

std::ptrdiff_t InputFile::read(std::span<char> buffer) {
  if (!isOpen()) return -1;
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle_), buffer.data(), buffer.size());
    if (got >= 0 || errno != EINTR) return got;
  }
}

FileReplacement::FileReplacement(const std::u16string& path) : path_(path) {
  const std::string native = nativePath(path);
  struct stat live;
  if (::stat(native.c_str(), &live) != 0 || !S_ISREG(live.st_mode) || isReadOnly(path)) return;
  std::string temp;
  handle_ = createTempBeside(native, live, temp);
  temp_ = toWide(temp);
}

FileReplacement::~FileReplacement() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
  if (!temp_.empty()) ::unlink(nativePath(temp_).c_str());
}

bool FileReplacement::write(std::string_view bytes) {
  failed_ = failed_ || handle_ == -1 || !writeAll(static_cast<int>(handle_), bytes);
  return !failed_;
}

bool FileReplacement::commit() {
  if (failed_ || handle_ == -1) return false;
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  const std::string temp = nativePath(temp_);
  temp_.clear();  // moveTempOver removes it when it fails
  return moveTempOver(fd, temp, nativePath(path_));
}

}  // namespace platform
