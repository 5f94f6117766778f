#include "platform/files.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
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
  writeFile(dir / "one", "1");
  ASSERT_TRUE(platform::copyFile(wide(dir / "one"), wide(dir / "one copy")));
  EXPECT_EQ(readFolder(dir.path()),
            (Contents{{"one", "1"}, {"one copy", "1"}, {"source", kBinary}, {"target", kBinary}}));
}

TEST(CopyFile, FailsWithoutTouchingTheTarget) {
  TempDir dir;
  writeFile(dir / "source", "source");
  writeFile(dir / "readonly", "kept");
  testing_support::setReadOnly(dir / "readonly", true);
  writeFile(dir / "target", "kept");
  fs::create_directory(dir / "folder");

  EXPECT_FALSE(platform::copyFile(wide(dir / "missing"), wide(dir / "target")));
  EXPECT_FALSE(platform::copyFile(wide(dir / "source"), wide(dir / "readonly")));
  EXPECT_FALSE(platform::copyFile(wide(dir / "source"), wide(dir / "folder")));
  EXPECT_EQ(readFolder(dir.path()),
            (Contents{{"readonly", "kept"}, {"source", "source"}, {"target", "kept"}}));
  EXPECT_TRUE(fs::is_empty(dir / "folder"));
}

// Reading whole, and whether something is there at all.
TEST(ReadFileBytes, ReadsEveryByteOrNothing) {
  TempDir dir;
  writeFile(dir / "file", kBinary);
  writeFile(dir / "empty", "");
  fs::create_directory(dir / "folder");
  EXPECT_EQ(platform::readFileBytes(wide(dir / "file")), kBinary);
  EXPECT_EQ(platform::readFileBytes(wide(dir / "empty")), "");
  EXPECT_EQ(platform::readFileBytes(wide(dir / "missing")), std::nullopt);
  EXPECT_EQ(platform::readFileBytes(wide(dir / "folder")), std::nullopt);
  EXPECT_TRUE(platform::fileExists(wide(dir / "file")));
  EXPECT_TRUE(platform::fileExists(wide(dir / "folder")));
  EXPECT_FALSE(platform::fileExists(wide(dir / "missing")));
}

TEST(CurrentDirectory, HasNoLengthLimit) {
  // Longer than the buffer that currentDirectory tries first: MAX_PATH on
  // Windows, PATH_MAX (4096 bytes) elsewhere. Not thousands on Windows, where
  // Wine overruns a buffer of its own on a current directory that long.
  const std::size_t length = platform::kPathSeparator == u'\\' ? 400 : 5000;
  TempDir dir;
  const ScopedCurrentDir restore(dir.path());
  const std::string name(200, 'd');
  std::u16string expected = platform::currentDirectory().value();
  int depth = 0;
  std::error_code error;
  for (; expected.size() < length && fs::create_directory(name, error); ++depth) {
    fs::current_path(name, error);
    expected += platform::kPathSeparator + fs::path(name).u16string();
  }
  const auto found = platform::currentDirectory();
  // A path that long cannot be named whole: the chain goes level by level.
  for (; depth > 0; --depth) fs::current_path("..", error), fs::remove(name, error);
  if (expected.size() < length) GTEST_SKIP() << "this system cannot enter a folder that deep";
  EXPECT_EQ(found, expected);
}

}  // namespace
