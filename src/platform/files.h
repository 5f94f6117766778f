// File access for the package folder: existence, copy, reading whole or in
// pieces, and an all-or-nothing replacement.
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

// Copies `from` over `to`, replacing an existing `to` unless it is read-only,
// without holding the file in memory, and flushes the folder. False when
// nothing was copied, a write that failed part-way included. An existing `to`
// keeps what the system knows of it (mode and owner; on Windows its
// attributes, security, creation time and streams); a new `to` takes the mode
// or attributes of `from`.
bool copyFile(const std::u16string& from, const std::u16string& to);

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

// Whether a commit also flushes the folder, which makes the move itself
// durable: at once, or later for several moves together (flushFolders()).
enum class FolderFlush { Now, Later };

// New contents for the file at `path`, written to a temporary file beside it
// that replaces it in one step on commit().
//
// Life: construct; write() and the other appends in order; commit(), or let
// the replacement end without one. The temporary file is made at the first
// append (or at commit()), has no name while it is written where the file
// system allows it, and is removed when the replacement ends without a
// commit(). Once an append has failed, nothing more is written and commit()
// fails, with the file as it was.
//
// The file keeps what the system knows of it, as copyFile() does: mode and
// owner; on Windows its attributes, security, creation time and streams.
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
  // Makes the temporary file now; false when the replacement cannot be made
  // (the file is read-only or not a regular file, or a copy's source is not open).
  bool ready();
  // True when the file that commit() leaves can be replaced in turn, not being
  // marked read-only; false also when the replacement cannot be made.
  bool leavesWritable();
  // Appends `bytes` to the new contents; false once a write has failed, when
  // the file cannot be replaced, and after commit().
  bool write(std::string_view bytes);
  // Appends what is left of `source`, from where it has been read to its end,
  // copied from file to file within the system where it can.
  bool copyRest(InputFile& source);
  // Flushes the new contents to disk and moves them over the file, then
  // flushes the folder unless told to leave that for later. False, with the
  // file as it was, when any step or an earlier append failed.
  bool commit(FolderFlush flush = FolderFlush::Now);

 private:
  struct Temporary;  // the temporary file, as each system keeps it

  std::u16string path_;
  std::unique_ptr<Temporary> temp_;
  bool copy_ = false;             // a copy, which may create the file
  std::uint32_t sourceMode_ = 0;  // a copy's source: its mode or attributes
  bool ended_ = false;
};

// Flushes to disk each folder that holds one of `paths`, once, making the
// moves into it durable (FolderFlush::Later).
void flushFolders(const std::vector<std::u16string>& paths);

}  // namespace platform
