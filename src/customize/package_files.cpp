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

// The new files of a run, each written whole and flushed to disk, waiting to
// be moved into place together when the run ends (land()): a run that stops
// in between leaves its package as it was, not partly customised.
struct Sealed {
  std::u16string path;
  std::unique_ptr<platform::FileReplacement> replacement;
};
using Replaced = std::shared_ptr<std::vector<Sealed>>;

// Seals `replacement` of `path`, to be moved into place at the run's end;
// false when it cannot be.
bool sealForLanding(const Replaced& replaced, const std::u16string& path,
                    std::unique_ptr<platform::FileReplacement> replacement) {
  if (!replacement->seal()) return false;
  replaced->push_back({path, std::move(replacement)});
  return true;
}

// Moves the sealed files into place in the order they were made, one right
// after the other, then flushes their folder once. A move that fails leaves
// the files after it as they were, as a run that stopped there would.
void land(std::vector<Sealed>& sealed) {
  std::vector<std::u16string> moved;
  for (Sealed& file : sealed) {
    if (!file.replacement->commit(platform::FolderFlush::Later)) break;
    moved.push_back(file.path);
  }
  sealed.clear();  // what did not move is removed
  platform::flushFolders(moved);
}

RewriteEnd rewriteRealFile(const Replaced& replaced, const std::u16string& path,
                           const ByteTransform& transform) {
  auto replacement = std::make_unique<platform::FileReplacement>(path);
  {
    platform::InputFile file(path);
    if (!file.isOpen()) return RewriteEnd::NotRead;
    const RewriteEnd end = transformInto(file, transform, replacement.get());
    if (end != RewriteEnd::Rewritten) return end;
  }  // closed before the new file moves over it
  return sealForLanding(replaced, path, std::move(replacement)) ? RewriteEnd::Rewritten
                                                                : RewriteEnd::NotWritten;
}

// The copy as it is, made after a transformed one did not come about.
bool copyAsItIs(const Replaced& replaced, const std::u16string& from, const std::u16string& to) {
  platform::InputFile source(from);
  auto copy = std::make_unique<platform::FileReplacement>(to, source);
  return copy->copyRest(source) && sealForLanding(replaced, to, std::move(copy));
}

// The copy transformed on the way; how the transform came out when the copy
// was not made with it, NotCopied when it was not tried.
CopyEnd copyTransformed(const Replaced& replaced, const std::u16string& from,
                        const std::u16string& to, const ByteTransform& transform) {
  platform::InputFile source(from);
  auto copy = std::make_unique<platform::FileReplacement>(to, source);
  if (!copy->create()) return CopyEnd::NotCopied;
  // Fed even when its bytes cannot be kept: its outcome tells whether the run goes on.
  const bool writable = copy->leavesWritable();
  switch (transformInto(source, transform, writable ? copy.get() : nullptr)) {
    case RewriteEnd::Rewritten:
      if (!writable) return CopyEnd::CopiedUnpatched;  // to be copied as it is
      return sealForLanding(replaced, to, std::move(copy)) ? CopyEnd::Patched : CopyEnd::NotCopied;
    case RewriteEnd::Refused:
      return CopyEnd::Refused;
    case RewriteEnd::NotRead:
      return CopyEnd::NotRead;
    default:
      return CopyEnd::NotCopied;
  }
}

CopyEnd copyRealFile(const Replaced& replaced, const std::u16string& from, const std::u16string& to,
                     const ByteTransform* transform) {
  CopyEnd end = CopyEnd::CopiedUnpatched;
  if (transform != nullptr) {
    end = copyTransformed(replaced, from, to, *transform);
    // Not read, or read but not written: the file stays as it was, as when
    // no copy can be made. Refused, or left read-only: the copy as it is
    // takes its place, as a rewrite after the copy would leave it.
    if (end != CopyEnd::Refused && end != CopyEnd::CopiedUnpatched) return end;
  }
  const bool made = copyAsItIs(replaced, from, to);
  if (end == CopyEnd::Refused) return made ? CopyEnd::CopiedRefused : CopyEnd::Refused;
  return made ? CopyEnd::CopiedUnpatched : CopyEnd::NotCopied;
}

}  // namespace

PackageFiles realPackageFiles() {
  const auto replaced = std::make_shared<std::vector<Sealed>>();
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
      .flush = [replaced] { land(*replaced); },
  };
}
