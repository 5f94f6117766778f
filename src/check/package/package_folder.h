// The package folder a check is about: entered for the check, and left as
// the current directory was.
#pragma once

#include <optional>
#include <string>

namespace check {

// Puts the current directory back at the end of the scope.
class DirectoryRestorer {
 public:
  DirectoryRestorer();
  DirectoryRestorer(const DirectoryRestorer&) = delete;
  DirectoryRestorer& operator=(const DirectoryRestorer&) = delete;
  ~DirectoryRestorer();

 private:
  std::optional<std::u16string> saved_;
};

// Makes `folder` the current directory; why it cannot, in words, or empty.
std::string enterFolder(const std::u16string& folder);

}  // namespace check
