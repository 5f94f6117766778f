#include "customize/dry_run_folder.h"

#include "platform/files.h"

namespace {

// True when a file can be replaced: a writable regular file.
bool replaceable(const FolderFile& file) {
  return file.bytes && !file.readOnly;
}

// What `transform` makes of `bytes`: nullopt when it refuses.
std::optional<std::string> transformed(const std::string& bytes, const ByteTransform& transform) {
  const auto piece = transform.feed(bytes);
  if (!piece) return std::nullopt;
  std::string out(*piece);
  if (!transform.finish(out)) return std::nullopt;
  return out;
}

CopyEnd dryRunCopy(DryRunFolder& folder, const std::u16string& from, const std::u16string& to,
                   const ByteTransform* transform) {
  // References: the files of the folder stay where they are while a run
  // reads them, and the source's bytes are copied only when the copy keeps
  // them as they are.
  const FolderFile& source = dryRunFile(folder, from);
  const FolderFile& target = dryRunFile(folder, to);
  if (!source.bytes || (target.exists && !replaceable(target))) return CopyEnd::NotCopied;
  const bool readOnly = target.exists ? target.readOnly : source.readOnly;
  CopyEnd end = CopyEnd::CopiedUnpatched;
  std::optional<std::string> bytes;
  if (transform != nullptr) {
    bytes = transformed(*source.bytes, *transform);
    end = !bytes ? CopyEnd::CopiedRefused : readOnly ? CopyEnd::CopiedUnpatched : CopyEnd::Patched;
  }
  if (end != CopyEnd::Patched) bytes = source.bytes;
  folder.written[to] = FolderFile{std::move(bytes), true, readOnly};
  return end;
}

RewriteEnd dryRunRewrite(DryRunFolder& folder, const std::u16string& path,
                         const ByteTransform& transform) {
  const FolderFile& file = dryRunFile(folder, path);
  if (!file.bytes) return RewriteEnd::NotRead;
  auto bytes = transformed(*file.bytes, transform);
  if (!bytes) return RewriteEnd::Refused;
  if (!replaceable(file)) return RewriteEnd::NotWritten;
  folder.written[path] = {std::move(bytes), true, file.readOnly};
  return RewriteEnd::Rewritten;
}

}  // namespace

const FolderFile& diskFile(DiskFiles& disk, const std::u16string& name) {
  auto found = disk.find(name);
  if (found == disk.end()) {
    FolderFile file{platform::readFileBytes(name), platform::fileExists(name),
                    platform::isReadOnly(name)};
    found = disk.emplace(name, std::move(file)).first;
  }
  return found->second;
}

const FolderFile& dryRunFile(DryRunFolder& folder, const std::u16string& name) {
  const auto written = folder.written.find(name);
  return written != folder.written.end() ? written->second : diskFile(*folder.disk, name);
}

PackageFiles dryRunFiles(DryRunFolder& folder) {
  return {
      .removeLeftovers = [] {},  // leftovers are the check's to name, not to remove
      .copyFile =
          [&folder](const std::u16string& from, const std::u16string& to,
                    const ByteTransform* transform) {
            return dryRunCopy(folder, from, to, transform);
          },
      .rewriteFile =
          [&folder](const std::u16string& path, const ByteTransform& transform) {
            return dryRunRewrite(folder, path, transform);
          },
      .flush = [] {},
  };
}
