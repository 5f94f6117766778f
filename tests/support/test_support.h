// Helpers for tests that work on real files in temporary folders and start
// real processes.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// A fresh, empty folder that is removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Makes `dir` the current directory until the end of the scope.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::filesystem::path& dir);
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;
  ~ScopedCurrentDir();

 private:
  std::filesystem::path previous_;
};

// Whole-file access, byte for byte.
void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);

// A folder's files: name to bytes.
using Folder = std::map<std::string, std::string>;

// The same folder with one file set, or removed.
Folder with(Folder folder, const std::string& name, const std::string& bytes);
Folder without(Folder folder, const std::string& name);

// Writes `folder` into `dir` and marks the files named in `readOnly`.
void writeFolder(const std::filesystem::path& dir, const Folder& folder,
                 const std::vector<std::string>& readOnly = {});

// Every regular file of `dir` (not recursive) with its bytes.
Folder readFolder(const std::filesystem::path& dir);

// Marks a file read-only, or writable again, the way the platform does.
void setReadOnly(const std::filesystem::path& path, bool readOnly);

// The folder of the running test program; the tool and the helper programs
// are built into the same folder.
std::filesystem::path programDir();

// The path of the program `name` built beside the tests (suffix added).
std::filesystem::path builtProgram(const std::string& name);

// The executable suffix of this platform ("" or ".exe").
extern const char* const kExeSuffix;

// Starts `argv[0]` with the rest as its arguments in `workDir`, waits for it
// and returns its exit status (128 + signal when killed), or -1 when it could
// not be started. With an `output` file, the program's standard output and
// error go there (and those of the programs it starts, unless it gives them
// others), else where this program's go. With an `input` file, the program
// reads it as its standard input.
int runProcess(const std::vector<std::filesystem::path>& argv, const std::filesystem::path& workDir,
               const std::filesystem::path& output = {}, const std::filesystem::path& input = {});

// A finished program: its exit status and all it wrote.
struct ProcessOutput {
  int status = -1;
  std::string output;
};
// The same with `input`, when given, as its standard input.
ProcessOutput runCaptured(const std::vector<std::filesystem::path>& argv,
                          const std::filesystem::path& workDir, const char* input = nullptr);

}  // namespace testing_support
