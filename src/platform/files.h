// File access for the package folder: existence, copy, whole-file read and
// an all-or-nothing rewrite.
#pragma once

#include <optional>
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

// Copies `from` over `to`, replacing an existing `to` unless it is read-only.
// False when nothing was copied.
bool copyFile(const std::u16string& from, const std::u16string& to);

// Every byte of the file at `path`; nullopt when it cannot be opened or read.
std::optional<std::string> readFileBytes(const std::u16string& path);

// Replaces the existing, writable file at `path` by `bytes` in one step: the
// bytes go to a temporary file beside it, are flushed to disk and then moved
// over it. On failure the file keeps its old contents, no temporary file is
// left, and the result is false.
bool replaceFileContents(const std::u16string& path, std::string_view bytes);

}  // namespace platform
