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
  // Closes now, reporting whether the close succeeded.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string nativePath(const std::u16string& path) {
  return toNarrow(path);
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

// Writes `bytes` to a new temporary file beside `target`, with the given mode
// and owner, flushes it and renames it over `target`.
bool writeFileAtomically(const std::string& target, std::string_view bytes,
                         const struct stat& like) {
  const auto slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  std::string temp = (slash == std::string::npos ? std::string() : dir) + ".pkgcustomize-XXXXXX";
  Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  // Owner first: changing it can clear set-id bits that the mode then restores.
  [[maybe_unused]] const int owned = ::fchown(fd.get(), like.st_uid, like.st_gid);
  const bool ok = ::fchmod(fd.get(), like.st_mode & 07777) == 0 && writeAll(fd.get(), bytes) &&
                  ::fsync(fd.get()) == 0 && fd.close() &&
                  ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.get() >= 0) ::fsync(dirFd.get());
  return true;
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
  const auto bytes = readFileBytes(from);
  if (!bytes || isReadOnly(to)) return false;
  struct stat source;
  if (::stat(nativePath(from).c_str(), &source) != 0) return false;
  source.st_uid = ::geteuid();
  source.st_gid = ::getegid();
  return writeFileAtomically(nativePath(to), *bytes, source);
}

std::optional<std::string> readFileBytes(const std::u16string& path) {
  Fd fd(::open(nativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat info;
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
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

bool replaceFileContents(const std::u16string& path, std::string_view bytes) {
  const std::string native = nativePath(path);
  struct stat live;
  if (::stat(native.c_str(), &live) != 0 || !S_ISREG(live.st_mode) || isReadOnly(path)) {
    return false;
  }
  return writeFileAtomically(native, bytes, live);
}

}  // namespace platform
