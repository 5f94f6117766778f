// File access for the package folder: existence, copy, reading whole or in
// pieces, and an all-or-nothing rewrite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

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
// without holding the file in memory. False when nothing was copied, a write
// that failed part-way included.
bool copyFile(const std::u16string& from, const std::u16string& to);

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
  std::intptr_t handle_ = -1;  // the system's descriptor or handle
};

// New contents for the existing, writable file at `path`, written to a
// temporary file beside it that replaces it in one step on commit(). The
// temporary file is removed when the replacement ends without that.
class FileReplacement {
 public:
  explicit FileReplacement(const std::u16string& path);
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement();
  // Appends `bytes` to the new contents; false once a write has failed or
  // when the file cannot be replaced.
  bool write(std::string_view bytes);
  // Flushes the new contents to disk and moves them over the file. False,
  // with the file as it was, when any step or an earlier write failed.
  bool commit();

 private:
  std::u16string path_;
  std::u16string temp_;  // empty once moved over the file, or when there is none
  std::intptr_t handle_ = -1;
  bool failed_ = false;
};

}  // namespace platform
