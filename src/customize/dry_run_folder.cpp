#include "customize/dry_run_folder.h"

#include "platform/files.h"

namespace {

// True when a file can be replaced: a writable regular file.
bool replaceable(const FolderFile& file) {
  return file.bytes && !file.readOnly;
}

bool dryRunCopy(DryRunFolder& folder, const std::u16string& from, const std::u16string& to) {
  const FolderFile source = dryRunFile(folder, from);
  const FolderFile& target = dryRunFile(folder, to);
  if (!source.bytes || (target.exists && !replaceable(target))) return false;
  folder.written[to] = {source.bytes, true, target.exists ? target.readOnly : source.readOnly};
  return true;
}

RewriteEnd dryRunRewrite(DryRunFolder& folder, const std::u16string& path,
                         const ByteTransform& transform) {
  const FolderFile& file = dryRunFile(folder, path);
  if (!file.bytes) return RewriteEnd::NotRead;
  const auto piece = transform.feed(*file.bytes);
  if (!piece) return RewriteEnd::Refused;
  std::string out(*piece);
  if (!transform.finish(out)) return RewriteEnd::Refused;
  if (!replaceable(file)) return RewriteEnd::NotWritten;
  folder.written[path] = {std::move(out), true, file.readOnly};
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
      [] {},  // leftovers are the check's to name, not to remove
      [&folder](const std::u16string& from, const std::u16string& to) {
        return dryRunCopy(folder, from, to);
      },
      [&folder](const std::u16string& path, const ByteTransform& transform) {
        return dryRunRewrite(folder, path, transform);
      },
  };
}
