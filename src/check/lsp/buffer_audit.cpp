#include "check/lsp/buffer_audit.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "check/lint/fix_run.h"
#include "platform/files.h"
#include "platform/process_table.h"

namespace check::lsp {

namespace {

namespace fs = std::filesystem;

// Puts the current directory back at the end of the scope.
class DirectoryRestorer {
 public:
  DirectoryRestorer() : saved_(platform::currentDirectory()) {}
  DirectoryRestorer(const DirectoryRestorer&) = delete;
  DirectoryRestorer& operator=(const DirectoryRestorer&) = delete;
  ~DirectoryRestorer() {
    if (saved_) platform::changeDirectory(*saved_);
  }

 private:
  std::optional<std::u16string> saved_;
};

// A temporary copy of a package folder, removed with it: its files linked
// where the file system allows (so that they keep their attributes and cost
// no copy), copied elsewhere; its config.xml the bytes given.
class FolderMirror {
 public:
  FolderMirror(const fs::path& folder, std::string_view configBytes) {
    static std::atomic<unsigned> counter{0};
    std::error_code error;
    path_ = fs::temp_directory_path(error) /
            ("pkgcustomize-lsp-" + std::to_string(platform::currentProcessId()) + "-" +
             std::to_string(counter++));
    fs::remove_all(path_, error);
    fs::create_directories(path_, error);
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
      std::u16string name = entry.path().filename().u16string();
      for (char16_t& unit : name) {
        if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
      }
      if (name == kConfigFile) continue;
      const fs::path target = path_ / entry.path().filename();
      std::error_code linked;
      if (entry.is_directory(linked)) {
        fs::copy(entry.path(), target,
                 fs::copy_options::recursive | fs::copy_options::create_hard_links, linked);
        if (linked) fs::copy(entry.path(), target, fs::copy_options::recursive, linked);
        continue;
      }
      fs::create_hard_link(entry.path(), target, linked);
      if (linked) fs::copy_file(entry.path(), target, linked);
    }
    std::ofstream out(path_ / kConfigFile, std::ios::binary | std::ios::trunc);
    out.write(configBytes.data(), static_cast<std::streamsize>(configBytes.size()));
    out.close();
    ok_ = !error && out.good();
  }
  FolderMirror(const FolderMirror&) = delete;
  FolderMirror& operator=(const FolderMirror&) = delete;
  ~FolderMirror() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  bool ok() const { return ok_; }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
  bool ok_ = false;
};

Audit auditHere() {
  Audit audit = auditPackages();
  attachFixes(audit.findings);
  return audit;
}

}  // namespace

Audit auditBuffer(const std::u16string& folder, std::string_view configBytes) {
  const DirectoryRestorer restorer;
  const fs::path dir(folder);
  // Unchanged from disk: the folder itself.
  if (platform::readFileBytes((dir / kConfigFile).u16string()) == configBytes &&
      platform::changeDirectory(folder)) {
    return auditHere();
  }
  const FolderMirror mirror(dir, configBytes);
  if (!mirror.ok() || !platform::changeDirectory(mirror.path().u16string())) {
    Audit audit;
    audit.findings.push_back(makeFinding(RuleId::ConfigUnreadable, kConfigFile,
                                         u"the buffer cannot be checked: no temporary folder"));
    return audit;
  }
  return auditHere();
}

}  // namespace check::lsp
