// File access for the package folder: existence, reading whole or in pieces,
// and an all-or-nothing replacement (which also copies).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The separator placed between a directory and a file name.
extern const char16_t kPathSeparator;

// The process's current directory, of any length; nullopt when it cannot be read.
std::optional<std::u16string> currentDirectory();

// Makes `path` the current directory; false when it cannot.
bool changeDirectory(const std::u16string& path);

// True when something (a file or a directory) exists at `path`.
bool fileExists(const std::u16string& path);

// True when `path` exists and is marked read-only (no write permission).
bool isReadOnly(const std::u16string& path);

// Our temporary files are named after the file they replace: its name, then
// ".pkgcustomize-" and six ASCII letters or digits. A run that is killed can
// leave one behind.
inline constexpr std::u16string_view kTemporaryMark = u".pkgcustomize-";

// The path of a temporary file for `path`, its six characters drawn from `seed`.
inline std::u16string temporaryPath(std::u16string_view path, std::uint64_t seed) {
  constexpr std::u16string_view kDigits =
      u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  // One step of SplitMix64, so that neighbouring seeds give unrelated names.
  std::uint64_t bits = seed + 0x9E3779B97F4A7C15u;
  bits = (bits ^ (bits >> 30)) * 0xBF58476D1CE4E5B9u;
  bits = (bits ^ (bits >> 27)) * 0x94D049BB133111EBu;
  std::u16string temp(path);
  temp += kTemporaryMark;
  for (int i = 0; i < 6; ++i, bits /= kDigits.size()) temp += kDigits[bits % kDigits.size()];
  return temp;
}

// True when `name` (a file name, no folder) is that of one of our temporary
// files; the name before the mark may be empty, as earlier versions made it.
inline bool isTemporaryName(std::u16string_view name) {
  const auto mark = name.rfind(kTemporaryMark);
  if (mark == std::u16string_view::npos || name.size() != mark + kTemporaryMark.size() + 6) {
    return false;
  }
  for (const char16_t c : name.substr(name.size() - 6)) {
    if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))) {
      return false;
    }
  }
  return true;
}

// The temporary files of interrupted runs in the current directory: regular
// files, not links, whose names are those of our temporary files.
std::vector<std::u16string> findLeftovers();

// Removes what findLeftovers() finds, and nothing else.
void removeLeftovers();

// Every byte of the file at `path`; nullopt when it cannot be opened or read.
std::optional<std::string> readFileBytes(const std::u16string& path);

// A regular file opened for reading from its start, closed at the end of its life.
class InputFile {
 public:
  explicit InputFile(const std::u16string& path);
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();
  bool isOpen() const { return handle_ != -1; }
  // Reads the next bytes into `buffer`: how many, 0 at the end, -1 on an error.
  std::ptrdiff_t read(std::span<char> buffer);

 private:
  friend class FileReplacement;  // copies from the file within the system
  std::intptr_t handle_ = -1;    // the system's descriptor or handle
};

// Why a replacement failed, as far as the system tells.
enum class FileProblem {
  None,          // it has not failed
  InUse,         // another program holds the file, and held it through every wait
  AccessDenied,  // the file is read-only, or this user may not change it
  DiskFull,      // no room for the new contents
  Missing,       // the file or its folder is not there
  Other,
};

// A failure: its kind, and the system's code for it (errno, or the Windows
// error), 0 when the failure is ours (a read-only file, a source not open).
struct FileFailure {
  FileProblem problem = FileProblem::None;
  std::uint32_t code = 0;
};

// The waits, in milliseconds, between the tries of a file operation that
// fails because another program holds the file (on Windows: a sharing or
// lock violation, a file whose deletion is pending). Scanners and indexers
// hold a file for milliseconds up to about a second; the waits grow so that
// a short hold costs little and a hold of a second still ends in time:
// 1270 ms in all, after which the operation fails as it would at once.
inline constexpr int kInUseWaitsMs[] = {10, 20, 40, 80, 160, 320, 640};

// Whether a commit also flushes the folder, which makes the move itself
// durable: at once, or later for several moves together (flushFolders()).
enum class FolderFlush { Now, Later };

// New contents for the file at `path`, written to a temporary file beside it
// that replaces it in one step on commit().
//
// Life: construct; create() the temporary file (or let the first append make
// it); write() and the other appends in order; seal() the new contents when
// the move is to come later; commit(), or let the replacement end without one
// (abandoned: the temporary file is removed). The temporary file has no name
// while it is written where the file system allows it. Once a step has
// failed, nothing more is written and commit() fails, with the file as it was.
//
// The file keeps what the system knows of it: mode and owner; on Windows its
// attributes, security, creation time and streams.
class FileReplacement {
 public:
  // Replaces the existing, writable regular file at `path`.
  explicit FileReplacement(const std::u16string& path);
  // A copy of `source` for `path`, which may be missing: a new file takes what
  // the system knows of `source` (its mode, or its attributes).
  FileReplacement(const std::u16string& path, const InputFile& source);
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement();
  // Makes the temporary file, once; false when the replacement cannot be made
  // (the file is read-only or not a regular file, or a copy's source is not
  // open), now or at an earlier step.
  bool create();
  // True when the file that commit() leaves can be replaced in turn, not being
  // marked read-only; false also when the replacement cannot be made.
  bool leavesWritable();
  // Appends `bytes` to the new contents; false once a write has failed, when
  // the file cannot be replaced, and after commit().
  bool write(std::string_view bytes);
  // Appends what is left of `source`, from where it has been read to its end,
  // copied from file to file within the system where it can.
  bool copyRest(InputFile& source);
  // Flushes the new contents to disk and ends the appends, leaving commit()
  // the move alone: several replacements sealed first land one right after
  // the other. False, with the file as it was, when this or an earlier step failed.
  bool seal();
  // Seals the new contents unless sealed, and moves them over the file, then
  // flushes the folder unless told to leave that for later. False, with the
  // file as it was, when any step or an earlier append failed.
  bool commit(FolderFlush flush = FolderFlush::Now);
  // Why the replacement failed; FileProblem::None while it has not.
  FileFailure failure() const { return failure_; }

 private:
  struct Temporary;  // the temporary file, as each system keeps it

  std::u16string path_;
  std::unique_ptr<Temporary> temp_;
  bool copy_ = false;             // a copy, which may create the file
  std::uint32_t sourceMode_ = 0;  // a copy's source: its mode or attributes
  bool ended_ = false;
  bool sealed_ = false;
  FileFailure failure_;
};

// Flushes to disk each folder that holds one of `paths`, once, making the
// moves into it durable (FolderFlush::Later).
void flushFolders(const std::vector<std::u16string>& paths);

}  // namespace platform
