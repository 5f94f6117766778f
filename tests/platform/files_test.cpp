#include "platform/files.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing_support::readFile;
using testing_support::readFolder;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;
using testing_support::writeFile;
using Contents = testing_support::Folder;

const std::string kBinary = "a\r\nb\nc\rd\0e\x1a\xff"s;

std::u16string wide(const fs::path& path) {
  return path.u16string();
}

// Writes `bytes` in two pieces through a replacement of `path` and commits it.
bool replaceWith(const std::u16string& path, std::string_view bytes) {
  platform::FileReplacement replacement(path);
  replacement.write(bytes.substr(0, bytes.size() / 2));
  replacement.write(bytes.substr(bytes.size() / 2));
  return replacement.commit();
}

TEST(FileReplacement, ReplacesWholeAndKeepsPermissions) {
  TempDir dir;
  writeFile(dir / "live.txt", "old text");
  fs::permissions(dir / "live.txt",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const auto permissions = fs::status(dir / "live.txt").permissions();

  ASSERT_TRUE(replaceWith(wide(dir / "live.txt"), kBinary));
  EXPECT_EQ(readFolder(dir.path()), (Contents{{"live.txt", kBinary}}));
  EXPECT_EQ(fs::status(dir / "live.txt").permissions(), permissions);
}

TEST(FileReplacement, WorksOnRelativeNames) {
  TempDir dir;
  writeFile(dir / "live.txt", "old text");
  const ScopedCurrentDir inDir(dir.path());
  ASSERT_TRUE(replaceWith(u"live.txt", "new"));
  EXPECT_EQ(readFolder(dir.path()), (Contents{{"live.txt", "new"}}));
}

TEST(FileReplacement, RefusesWhatItMustNotWriteAndLeavesNothing) {
  TempDir dir;
  writeFile(dir / "readonly.txt", "kept");
  testing_support::setReadOnly(dir / "readonly.txt", true);
  writeFile(dir / "uncommitted.txt", "kept");
  fs::create_directory(dir / "folder");

  EXPECT_FALSE(replaceWith(wide(dir / "readonly.txt"), "new"));
  EXPECT_FALSE(replaceWith(wide(dir / "missing.txt"), "new"));
  EXPECT_FALSE(replaceWith(wide(dir / "folder"), "new"));
  {
    platform::FileReplacement dropped(wide(dir / "uncommitted.txt"));
    EXPECT_TRUE(dropped.write("new"));
  }
  EXPECT_EQ(readFolder(dir.path()),
            (Contents{{"readonly.txt", "kept"}, {"uncommitted.txt", "kept"}}));
  EXPECT_TRUE(fs::is_directory(dir / "folder"));
}

TEST(CopyFile, ReplacesTheTargetAndKeepsTheSource) {
  TempDir dir;
  writeFile(dir / "source", kBinary);
  writeFile(dir / "target", "old target, longer than the source");
  ASSERT_TRUE(platform::copyFile(wide(dir / "source"), wide(dir / "target")));
  EXPECT_EQ(readFolder(dir.path()), (Contents{{"source", kBinary}, {"target", kBinary}}));
}

TEST(CopyFile, FailsWithoutTouchingTheTarget) {
  TempDir dir;
  writeFile(dir / "source", "source");
  writeFile(dir / "readonly", "kept");
  testing_support::setReadOnly(dir / "readonly", true);
  writeFile(dir / "target", "kept");

  EXPECT_FALSE(platform::copyFile(wide(dir / "missing"), wide(dir / "target")));
  EXPECT_FALSE(platform::copyFile(wide(dir / "source"), wide(dir / "readonly")));
  EXPECT_EQ(readFolder(dir.path()),
            (Contents{{"readonly", "kept"}, {"source", "source"}, {"target", "kept"}}));
}

TEST(ReadFileBytes, ReadsEveryByteOrNothing) {
  TempDir dir;
  writeFile(dir / "file", kBinary);
  writeFile(dir / "empty", "");
  fs::create_directory(dir / "folder");
  EXPECT_EQ(platform::readFileBytes(wide(dir / "file")), kBinary);
  EXPECT_EQ(platform::readFileBytes(wide(dir / "empty")), "");
  EXPECT_EQ(platform::readFileBytes(wide(dir / "missing")), std::nullopt);
  EXPECT_EQ(platform::readFileBytes(wide(dir / "folder")), std::nullopt);
}

TEST(FileExists, SeesFilesAndFolders) {
  TempDir dir;
  writeFile(dir / "file", "");
  fs::create_directory(dir / "folder");
  EXPECT_TRUE(platform::fileExists(wide(dir / "file")));
  EXPECT_TRUE(platform::fileExists(wide(dir / "folder")));
  EXPECT_FALSE(platform::fileExists(wide(dir / "missing")));
}

// A chain of folders, entered one by one, that is removed level by level on
// leaving, since a path that long cannot be named whole.
class FolderChain {
 public:
  explicit FolderChain(std::string name) : name_(std::move(name)) {}
  FolderChain(const FolderChain&) = delete;
  FolderChain& operator=(const FolderChain&) = delete;
  ~FolderChain() {
    std::error_code error;
    for (; depth_ > 0; --depth_) {
      fs::current_path("..", error);
      fs::remove(name_, error);
    }
  }
  // Makes a folder in the current directory and enters it; false when it cannot.
  bool enter() {
    std::error_code error;
    if (!fs::create_directory(name_, error)) return false;
    fs::current_path(name_, error);
    if (error) {
      fs::remove(name_, error);
      return false;
    }
    ++depth_;
    return true;
  }
  const std::string& name() const { return name_; }

 private:
  const std::string name_;
  int depth_ = 0;
};

TEST(CurrentDirectory, HasNoLengthLimit) {
  // Longer than the buffer that currentDirectory tries first: MAX_PATH on
  // Windows, PATH_MAX (4096 bytes) elsewhere. Not thousands on Windows, where
  // Wine overruns a buffer of its own on a current directory that long.
  const std::size_t length = platform::kPathSeparator == u'\\' ? 400 : 5000;
  TempDir dir;
  const ScopedCurrentDir restore(dir.path());
  std::u16string expected = platform::currentDirectory().value();
  FolderChain chain(std::string(200, 'd'));
  while (expected.size() < length) {
    if (!chain.enter()) GTEST_SKIP() << "this system cannot enter a folder " << length << " long";
    expected += platform::kPathSeparator + fs::path(chain.name()).u16string();
  }
  EXPECT_EQ(platform::currentDirectory(), expected);
}

}  // namespace
