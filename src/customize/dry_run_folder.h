// A dry run's view of the package folder: the real files, read once, with
// what the run writes kept in memory. A run over it changes nothing on disk.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "customize/package_files.h"

// A file of the package folder as a run finds it.
struct FolderFile {
  std::optional<std::string> bytes;  // nullopt: missing, not a regular file, or unreadable
  bool exists = false;               // something, of any kind, is there
  bool readOnly = false;
};

// The files of the current directory that dry runs have read, each read
// once: dry runs that share it read every file once between them.
using DiskFiles = std::map<std::u16string, FolderFile>;

struct DryRunFolder {
  DiskFiles* disk = nullptr;                     // the real files, shared
  std::map<std::u16string, FolderFile> written;  // the files as this run leaves them
};

// The file `name` as the dry run sees it now: as written by it, else as on disk.
const FolderFile& dryRunFile(DryRunFolder& folder, const std::u16string& name);

// The file `name` of the current directory, read on first use.
const FolderFile& diskFile(DiskFiles& disk, const std::u16string& name);

// Operations that read through `folder` and write into it. The copy and the
// rewrite succeed and fail where the real ones do: a source must be a
// readable regular file, and a target that exists must be a writable regular
// file. A copy over an existing file keeps that file's read-only mark (none);
// a copy that creates the file takes the source's, and then keeps the
// source's bytes as they are even when given a transform, as the real copy
// does with a new file that it cannot replace in turn.
PackageFiles dryRunFiles(DryRunFolder& folder);
