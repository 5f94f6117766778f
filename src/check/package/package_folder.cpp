#include "check/package/package_folder.h"

#include <filesystem>

#include "platform/codepage.h"
#include "platform/files.h"

namespace check {

namespace fs = std::filesystem;

DirectoryRestorer::DirectoryRestorer() : saved_(platform::currentDirectory()) {}

DirectoryRestorer::~DirectoryRestorer() {
  if (saved_) platform::changeDirectory(*saved_);
}

std::string enterFolder(const std::u16string& folder) {
  const fs::path path(folder);
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  const std::string shown = platform::toUtf8(folder);
  const std::string name = "the folder " + shown;
  if (status.type() == fs::file_type::not_found) return name + " does not exist";
  if (!error && !fs::is_directory(status)) return shown + " is not a folder";
  if (error || !platform::changeDirectory(folder)) return name + " cannot be entered";
  fs::directory_iterator(".", error);
  if (error) return name + " cannot be read: no permission";
  return {};
}

}  // namespace check
