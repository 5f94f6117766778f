#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <vector>

#include "platform/codepage.h"

namespace platform {

const char16_t kPathSeparator = u'/';

namespace {

// How many names a temporary file tries before giving up.
constexpr int kNameAttempts = 100;

// Calls `call` again for as long as a signal interrupts it. Any call may meet
// EINTR (a stopped and continued process, a signal handler without
// SA_RESTART), even on file systems that never report it otherwise.
template <typename Call>
auto retried(Call call) {
  for (;;) {
    errno = 0;
    const auto result = call();
    if (errno != EINTR) return result;
  }
}

// Owns a file descriptor. A close is not retried: Linux releases the
// descriptor even when close reports EINTR.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(-1); }
  int get() const { return fd_; }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
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

int openFile(const std::string& path, int flags, mode_t mode = 0) {
  return retried([&] { return ::open(path.c_str(), flags, mode); });
}

int statFile(const std::string& path, struct stat& info) {
  return retried([&] { return ::stat(path.c_str(), &info); });
}

// Opens `path` for reading when it is a regular file, with `info` filled in;
// -1 otherwise. The open does not wait: a FIFO with no writer would block it
// until one comes, and reading a regular file does not care.
int openRegularFile(const std::u16string& path, struct stat& info) {
  Fd fd(openFile(nativePath(path), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0 || retried([&] { return ::fstat(fd.get(), &info); }) != 0 ||
      !S_ISREG(info.st_mode)) {
    return -1;
  }
  return fd.release();
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = retried([&] { return ::write(fd, bytes.data(), bytes.size()); });
    if (written < 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// True when the file at `path`, whose status is `info`, is not to be written:
// marked read-only or not writable by this process. The mode bits count even
// for a user whom they do not bind (root), so that a file marked read-only
// stays untouched whoever runs the tool.
bool readOnly(const std::string& path, const struct stat& info) {
  return (info.st_mode & 0222) == 0 || retried([&] { return ::access(path.c_str(), W_OK); }) != 0;
}

// The folder of `path` to open: "." for a bare file name.
std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// A new name of our pattern for a temporary file standing in for `target`.
std::string temporaryName(const std::string& target) {
  static std::uint64_t calls = 0;
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  const std::uint64_t seed =
      static_cast<std::uint64_t>(now) ^ (static_cast<std::uint64_t>(::getpid()) << 40) ^ ++calls;
  return target + toNarrow(temporaryPath(u"", seed));
}

// A temporary file beside the file that it is to replace: it has no name
// where the file system allows it (O_TMPFILE), else one of our pattern. It is
// closed at the end of its life and, unless it was moved over its target,
// removed.
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (!name_.empty()) retried([&] { return ::unlink(name_.c_str()); });
  }
  int fd() const { return fd_.get(); }

  // Creates the file beside `target` with the mode and owner of `like`.
  bool create(const std::string& target, const struct stat& like) {
    fd_.reset(openFile(folderOf(target), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    for (int attempt = 0; fd_.get() < 0 && attempt < kNameAttempts; ++attempt) {
      name_ = temporaryName(target);
      fd_.reset(openFile(name_, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
      if (fd_.get() < 0) name_.clear();
      if (fd_.get() < 0 && errno != EEXIST) return false;
    }
    if (fd_.get() < 0) return false;
    // Owner first: changing it can clear set-id bits that the mode then restores.
    retried([&] { return ::fchown(fd_.get(), like.st_uid, like.st_gid); });
    return retried([&] { return ::fchmod(fd_.get(), like.st_mode & 07777); }) == 0;
  }

  // Flushes the file to disk, once.
  bool flush() {
    flushed_ = flushed_ || retried([&] { return ::fsync(fd_.get()); }) == 0;
    return flushed_;
  }

  // Flushes the file to disk unless flushed, and renames it over `target`. An unnamed file
  // gets a name of ours just before, so that it has one for a moment only:
  // linked through /proc/self/fd, which needs no privilege (the process table
  // needs /proc as well).
  bool moveOver(const std::string& target) {
    if (!flush()) return false;
    const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
    for (int attempt = 0; name_.empty() && attempt < kNameAttempts; ++attempt) {
      std::string name = temporaryName(target);
      if (retried([&] {
            return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
          }) == 0) {
        name_ = std::move(name);
      } else if (errno != EEXIST) {
        return false;
      }
    }
    if (name_.empty() || retried([&] { return ::rename(name_.c_str(), target.c_str()); }) != 0) {
      return false;
    }
    name_.clear();
    // The contents are on disk: what the close reports changes nothing.
    fd_.reset(-1);
    return true;
  }

 private:
  Fd fd_{-1};
  std::string name_;  // empty while the file has no name, or once it is moved
  bool flushed_ = false;
};

// Copies what is left of `from` to `to`: in the kernel where it can, else
// through a fixed-size buffer.
bool copyContents(int from, int to) {
  for (;;) {
    const ssize_t copied = retried(
        [&] { return ::copy_file_range(from, nullptr, to, nullptr, std::size_t{1} << 30, 0); });
    if (copied > 0) continue;
    if (copied == 0) return true;
    // Not between these files or on this system: the buffer takes over where it stopped.
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
        errno == EBADF) {
      break;
    }
    return false;
  }
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = retried([&] { return ::read(from, buffer, sizeof buffer); });
    if (got < 0) return false;
    if (got == 0) return true;
    if (!writeAll(to, {buffer, static_cast<std::size_t>(got)})) return false;
  }
}

// What the system's `error` says of a failed replacement.
FileFailure failureOf(int error) {
  switch (error) {
    case ETXTBSY:
    case EBUSY:
      return {FileProblem::InUse, static_cast<std::uint32_t>(error)};
    case EACCES:
    case EPERM:
    case EROFS:
      return {FileProblem::AccessDenied, static_cast<std::uint32_t>(error)};
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return {FileProblem::DiskFull, static_cast<std::uint32_t>(error)};
    case ENOENT:
    case ENOTDIR:
      return {FileProblem::Missing, static_cast<std::uint32_t>(error)};
    default:
      return {FileProblem::Other, static_cast<std::uint32_t>(error)};
  }
}

// Flushes the folder `folder` to disk, making the renames in it durable.
void flushFolder(const std::string& folder) {
  Fd fd(openFile(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) retried([&] { return ::fsync(fd.get()); });
}

}  // namespace

std::optional<std::u16string> currentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  while (retried([&] { return ::getcwd(buffer.data(), buffer.size()); }) == nullptr) {
    if (errno != ERANGE) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
  return toWide(buffer.data());
}

bool changeDirectory(const std::u16string& path) {
  const std::string native = nativePath(path);
  return retried([&] { return ::chdir(native.c_str()); }) == 0;
}

bool fileExists(const std::u16string& path) {
  struct stat info;
  return statFile(nativePath(path), info) == 0;
}

bool isReadOnly(const std::u16string& path) {
  const std::string native = nativePath(path);
  struct stat info;
  return statFile(native, info) == 0 && readOnly(native, info);
}

std::vector<std::u16string> findLeftovers() {
  std::vector<std::u16string> found;
  const std::unique_ptr<DIR, int (*)(DIR*)> folder(retried([] { return ::opendir("."); }),
                                                   &::closedir);
  if (!folder) return found;
  while (const dirent* entry = retried([&] { return ::readdir(folder.get()); })) {
    std::u16string name = toWide(entry->d_name);
    struct stat info;
    if (isTemporaryName(name) &&
        retried([&] {
          return ::fstatat(::dirfd(folder.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW);
        }) == 0 &&
        S_ISREG(info.st_mode)) {
      found.push_back(std::move(name));
    }
  }
  return found;
}

void removeLeftovers() {
  // Should the name have become something else since, unlink still follows no
  // link and removes no folder.
  for (const std::u16string& name : findLeftovers()) {
    const std::string native = nativePath(name);
    retried([&] { return ::unlink(native.c_str()); });
  }
}

std::optional<std::string> readFileBytes(const std::u16string& path) {
  struct stat info;
  Fd fd(openRegularFile(path, info));
  if (fd.get() < 0) return std::nullopt;
  // One byte of room beyond the size lets the final read see the end of the
  // file; a few more read the files of /proc, whose size is 0, in one piece.
  std::string bytes(std::max<std::size_t>(static_cast<std::size_t>(info.st_size) + 1, 4096), '\0');
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2);  // the file grew
    const ssize_t got =
        retried([&] { return ::read(fd.get(), bytes.data() + filled, bytes.size() - filled); });
    if (got < 0) return std::nullopt;
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
  return retried([&] { return ::read(static_cast<int>(handle_), buffer.data(), buffer.size()); });
}

// How much a replacement writes before it has the system start writing it
// to disk, so that the flush at the commit finds most of it there already.
constexpr std::uint64_t kWriteBackStep = std::uint64_t{8} << 20;

struct FileReplacement::Temporary {
  TempFile file;
  bool writable = true;        // the file that the commit leaves can be replaced in turn
  std::uint64_t written = 0;   // bytes appended
  std::uint64_t sentBack = 0;  // bytes whose writing to disk has been started

  // Counts `bytes` appended, and starts writing a step's worth to disk.
  void appended(std::uint64_t bytes) {
    written += bytes;
    if (written - sentBack < kWriteBackStep) return;
    ::sync_file_range(file.fd(), static_cast<off_t>(sentBack),
                      static_cast<off_t>(written - sentBack), SYNC_FILE_RANGE_WRITE);
    sentBack = written;
  }
};

FileReplacement::FileReplacement(const std::u16string& path) : path_(path) {}

FileReplacement::FileReplacement(const std::u16string& path, const InputFile& source)
    : path_(path), copy_(true) {
  struct stat info;
  ended_ = !source.isOpen() ||
           retried([&] { return ::fstat(static_cast<int>(source.handle_), &info); }) != 0;
  if (ended_) failure_ = {FileProblem::Missing, 0};
  if (!ended_) sourceMode_ = info.st_mode;
}

FileReplacement::~FileReplacement() = default;

bool FileReplacement::create() {
  if (ended_ || temp_) return !ended_;
  const std::string native = nativePath(path_);
  struct stat live;
  temp_ = std::make_unique<Temporary>();
  if (statFile(native, live) == 0) {
    ended_ = !S_ISREG(live.st_mode) || readOnly(native, live);
    if (ended_) failure_ = {FileProblem::AccessDenied, 0};
  } else if (copy_ && errno == ENOENT) {
    // A new file: the source's mode, and the owner that the system gives it,
    // this process, which may write it when the mode lets its owner (root
    // whenever any write bit is set).
    live.st_mode = static_cast<mode_t>(sourceMode_);
    live.st_uid = static_cast<uid_t>(-1);
    live.st_gid = static_cast<gid_t>(-1);
    temp_->writable =
        (live.st_mode & 0222) != 0 && (::geteuid() == 0 || (live.st_mode & S_IWUSR) != 0);
  } else {
    failure_ = failureOf(errno);
    ended_ = true;
  }
  if (!ended_ && !temp_->file.create(native, live)) {
    failure_ = failureOf(errno);
    ended_ = true;
  }
  return !ended_;
}

bool FileReplacement::leavesWritable() {
  return create() && temp_->writable;
}

bool FileReplacement::write(std::string_view bytes) {
  if (!create() || sealed_) return false;
  ended_ = !writeAll(temp_->file.fd(), bytes);
  if (ended_) failure_ = failureOf(errno);
  if (!ended_) temp_->appended(bytes.size());
  return !ended_;
}

bool FileReplacement::copyRest(InputFile& source) {
  if (!create() || sealed_) return false;
  ended_ = !copyContents(static_cast<int>(source.handle_), temp_->file.fd());
  if (ended_) failure_ = failureOf(errno);
  return !ended_;
}

bool FileReplacement::seal() {
  if (!create()) return false;
  sealed_ = true;
  if (!temp_->file.flush()) {
    failure_ = failureOf(errno);
    ended_ = true;
  }
  return !ended_;
}

bool FileReplacement::commit(FolderFlush flush) {
  if (!create()) return false;
  ended_ = true;
  const std::string native = nativePath(path_);
  const bool moved = temp_->file.moveOver(native);
  if (!moved) failure_ = failureOf(errno);
  temp_.reset();
  if (moved && flush == FolderFlush::Now) flushFolder(folderOf(native));
  return moved;
}

void flushFolders(const std::vector<std::u16string>& paths) {
  std::vector<std::string> folders;
  for (const std::u16string& path : paths) {
    std::string folder = folderOf(nativePath(path));
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      flushFolder(folder);
      folders.push_back(std::move(folder));
    }
  }
}

}  // namespace platform
