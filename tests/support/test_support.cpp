#include "test_support.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = fs::temp_directory_path() /
          ("pkgcustomize-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  // Kept for tools that look at what the tests wrote (the schema's check of
  // every config.xml against the check tool's findings).
  if (std::getenv("PKGCUSTOMIZE_TEST_KEEP_TEMP") != nullptr) return;
  std::error_code error;
  // Read-only files must be made writable before Windows lets them go.
  for (fs::recursive_directory_iterator entry(path_, error), end; !error && entry != end;
       entry.increment(error)) {
    fs::permissions(entry->path(), fs::perms::owner_write, fs::perm_options::add, error);
  }
  fs::remove_all(path_, error);
}

ScopedCurrentDir::ScopedCurrentDir(const fs::path& dir) : previous_(fs::current_path()) {
  fs::current_path(dir);
}

ScopedCurrentDir::~ScopedCurrentDir() {
  std::error_code error;
  fs::current_path(previous_, error);
}

void writeFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

Folder with(Folder folder, const std::string& name, const std::string& bytes) {
  folder[name] = bytes;
  return folder;
}

Folder without(Folder folder, const std::string& name) {
  folder.erase(name);
  return folder;
}

void writeFolder(const fs::path& dir, const Folder& folder,
                 const std::vector<std::string>& readOnly) {
  for (const auto& [name, bytes] : folder) writeFile(dir / name, bytes);
  for (const auto& name : readOnly) setReadOnly(dir / name, true);
}

Folder readFolder(const fs::path& dir) {
  Folder files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.is_regular_file()) files[entry.path().filename().string()] = readFile(entry.path());
  }
  return files;
}

void setReadOnly(const fs::path& path, bool readOnly) {
  // On Windows the C++ library maps the write bits to the read-only attribute.
  const auto writeBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(path, writeBits, readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

fs::path builtProgram(const std::string& name) {
  return programDir() / (name + kExeSuffix);
}

ProcessOutput runCaptured(const std::vector<fs::path>& argv, const fs::path& workDir,
                          const char* input) {
  const TempDir dir;
  if (input != nullptr) writeFile(dir / "input", input);
  const int status =
      runProcess(argv, workDir, dir / "output", input != nullptr ? dir / "input" : fs::path());
  return {status, readFile(dir / "output")};
}

}  // namespace testing_support
