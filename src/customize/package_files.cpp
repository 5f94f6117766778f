#include "customize/package_files.h"

#include <vector>

#include "platform/files.h"

namespace {

// The size of the pieces a file is read in.
constexpr std::size_t kPieceSize = 64 * 1024;

// Streams the file through the transform into a temporary file that
// replaces it once the whole file has been read and transformed.
RewriteEnd rewriteRealFile(const std::u16string& path, const ByteTransform& transform) {
  platform::FileReplacement replacement(path);
  {
    platform::InputFile file(path);
    if (!file.isOpen()) return RewriteEnd::NotRead;
    std::vector<char> buffer(kPieceSize);
    for (;;) {
      const std::ptrdiff_t got = file.read(buffer);
      if (got < 0) return RewriteEnd::NotRead;
      if (got == 0) break;
      const auto piece = transform.feed({buffer.data(), static_cast<std::size_t>(got)});
      if (!piece) return RewriteEnd::Refused;
      if (!piece->empty()) replacement.write(*piece);
    }
  }  // closed before the new file moves over it
  std::string out;
  if (!transform.finish(out)) return RewriteEnd::Refused;
  replacement.write(out);
  return replacement.commit() ? RewriteEnd::Rewritten : RewriteEnd::NotWritten;
}

}  // namespace

PackageFiles realPackageFiles() {
  return {platform::removeLeftovers, platform::copyFile, rewriteRealFile};
}
