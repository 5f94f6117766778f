// The file operations a customisation run makes in the package folder, as a
// record of functions: realPackageFiles() works on the folder itself, and a
// dry run (customize/dry_run_folder.h) reads the real files but keeps every
// write in memory, so that the same run can be made without changing anything.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// A streaming transform of a file's bytes, fed the old file piece by piece.
struct ByteTransform {
  // The new file's bytes for the next piece of the old one, valid until the
  // next call; nullopt when the file must be left alone. Bytes that pass
  // unchanged may come back as (a part of) the piece itself: the reader may
  // then take larger pieces.
  std::function<std::optional<std::string_view>(std::string_view piece)> feed;
  // Appends the new file's last bytes to `out` once the old file has ended;
  // false when the file must be left alone.
  std::function<bool(std::string& out)> finish;
};

// How a rewrite of a file ended.
enum class RewriteEnd {
  Rewritten,   // the file now holds what the transform made of it
  NotRead,     // the file is missing, not a regular file or unreadable
  Refused,     // the transform asked for the file to be left alone
  NotWritten,  // the file cannot be replaced (read-only, a full disk): left as it was
};

// How a copy ended, and with a transform, how the transform came out.
enum class CopyEnd {
  Patched,          // copied, holding what the transform made of the bytes
  CopiedRefused,    // copied as it is: the transform refused
  CopiedUnpatched,  // copied as it is: no transform, or the copy is read-only
  Refused,          // the transform refused, and the copy as it is was not made
  NotRead,          // the transform's source cannot be read: the target is as it was
  NotCopied,        // the target is as it was
};

// Whether the target now holds a copy.
constexpr bool copied(CopyEnd end) {
  return end == CopyEnd::Patched || end == CopyEnd::CopiedRefused ||
         end == CopyEnd::CopiedUnpatched;
}

// How the transform came out, as a rewrite of the copy would have.
constexpr RewriteEnd patchEnd(CopyEnd end) {
  switch (end) {
    case CopyEnd::Patched:
      return RewriteEnd::Rewritten;
    case CopyEnd::CopiedRefused:
    case CopyEnd::Refused:
      return RewriteEnd::Refused;
    case CopyEnd::NotRead:
      return RewriteEnd::NotRead;
    default:
      return RewriteEnd::NotWritten;
  }
}

struct PackageFiles {
  // Removes what interrupted runs left behind: a run calls it before its
  // first write.
  std::function<void()> removeLeftovers;
  // Copies `from` over `to`. With a transform, in the same pass: `to` then
  // holds what the transform makes of the bytes of `from`, or, where a copy
  // followed by a rewrite would leave the copy as it is (the transform
  // refuses, the new file is read-only), those bytes as they are. `to` is
  // replaced once, whole or not at all: when the transformed bytes cannot be
  // written (a full disk), it is left as it was.
  std::function<CopyEnd(const std::u16string& from, const std::u16string& to,
                        const ByteTransform* transform)>
      copyFile;
  // Replaces the file `path` by what `transform` makes of its bytes, whole
  // or not at all.
  std::function<RewriteEnd(const std::u16string& path, const ByteTransform& transform)> rewriteFile;
  // Puts the replacements made so far in place, one right after the other,
  // and makes them durable; a run calls it once, after its last one. Until
  // then each is written whole and flushed to disk beside its file, so that a
  // run stopped before holds none of them.
  std::function<void()> flush;
};

// The operations on the real files of the current directory. Files are moved
// into place, and the folder flushed, by flush(), not at each replacement.
PackageFiles realPackageFiles();
