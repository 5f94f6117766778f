#include "customize/package_files.h"

#include <memory>
#include <vector>

#include "platform/files.h"

namespace {

// The size of the pieces a file is read in: small while the transform may
// make new bytes of them, larger once it passes them on unchanged.
constexpr std::size_t kPieceSize = 64 * 1024;
constexpr std::size_t kUnchangedPieceSize = 1024 * 1024;

// Feeds the whole of `source` through `transform` and the new bytes into
// `target`, when there is one. NotRead when `source` cannot be read, Refused
// when the transform refuses; whether the writes succeeded, the commit tells.
RewriteEnd transformInto(platform::InputFile& source, const ByteTransform& transform,
                         platform::FileReplacement* target) {
  std::vector<char> buffer(kPieceSize);
  for (;;) {
    const std::ptrdiff_t got = source.read(buffer);
    if (got < 0) return RewriteEnd::NotRead;
    if (got == 0) break;
    const std::string_view read(buffer.data(), static_cast<std::size_t>(got));
    const auto piece = transform.feed(read);
    if (!piece) return RewriteEnd::Refused;
    if (target != nullptr && !piece->empty()) target->write(*piece);
    if (piece->data() == read.data()) buffer.resize(kUnchangedPieceSize);
  }
  std::string out;
  if (!transform.finish(out)) return RewriteEnd::Refused;
  if (target != nullptr) target->write(out);
  return RewriteEnd::Rewritten;
}

// The files that a run has replaced, for the one flush of their folder.
using Replaced = std::shared_ptr<std::vector<std::u16string>>;

RewriteEnd rewriteRealFile(const Replaced& replaced, const std::u16string& path,
                           const ByteTransform& transform) {
  platform::FileReplacement replacement(path);
  {
    platform::InputFile file(path);
    if (!file.isOpen()) return RewriteEnd::NotRead;
    const RewriteEnd end = transformInto(file, transform, &replacement);
    if (end != RewriteEnd::Rewritten) return end;
  }  // closed before the new file moves over it
  if (!replacement.commit(platform::FolderFlush::Later)) return RewriteEnd::NotWritten;
  replaced->push_back(path);
  return RewriteEnd::Rewritten;
}

// The copy as it is, made after a transformed one did not come about.
bool copyAsItIs(const Replaced& replaced, const std::u16string& from, const std::u16string& to) {
  platform::InputFile source(from);
  platform::FileReplacement copy(to, source);
  if (!copy.copyRest(source) || !copy.commit(platform::FolderFlush::Later)) return false;
  replaced->push_back(to);
  return true;
}

// The copy transformed on the way; not `copied` when it did not come about.
CopyEnd copyTransformed(const Replaced& replaced, const std::u16string& from,
                        const std::u16string& to, const ByteTransform& transform) {
  platform::InputFile source(from);
  platform::FileReplacement copy(to, source);
  CopyEnd end;
  if (!copy.ready()) return end;
  // Fed even when its bytes cannot be kept: its outcome tells whether the run goes on.
  const bool writable = copy.leavesWritable();
  end.patch = transformInto(source, transform, writable ? &copy : nullptr);
  if (end.patch != RewriteEnd::Rewritten || !writable) return end;
  end.copied = copy.commit(platform::FolderFlush::Later);
  if (end.copied) {
    replaced->push_back(to);
  } else {
    end.patch = RewriteEnd::NotWritten;
  }
  return end;
}

CopyEnd copyRealFile(const Replaced& replaced, const std::u16string& from, const std::u16string& to,
                     const ByteTransform* transform) {
  CopyEnd end;
  if (transform != nullptr) {
    end = copyTransformed(replaced, from, to, *transform);
    // Not read, or read but not written: the file stays as it was, as when
    // no copy can be made.
    if (end.copied || end.patch == RewriteEnd::NotRead || end.patch == RewriteEnd::NotWritten) {
      return end;
    }
    // Refused, or left read-only: the copy as it is takes its place, as a
    // rewrite after the copy would leave it.
    if (end.patch == RewriteEnd::Rewritten) end.patch = RewriteEnd::NotWritten;
  }
  end.copied = copyAsItIs(replaced, from, to);
  return end;
}

}  // namespace

PackageFiles realPackageFiles() {
  const auto replaced = std::make_shared<std::vector<std::u16string>>();
  return {
      .removeLeftovers = platform::removeLeftovers,
      .copyFile =
          [replaced](const std::u16string& from, const std::u16string& to,
                     const ByteTransform* transform) {
            return copyRealFile(replaced, from, to, transform);
          },
      .rewriteFile =
          [replaced](const std::u16string& path, const ByteTransform& transform) {
            return rewriteRealFile(replaced, path, transform);
          },
      .flush =
          [replaced] {
            platform::flushFolders(*replaced);
            replaced->clear();
          },
  };
}
