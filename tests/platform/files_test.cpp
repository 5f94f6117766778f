#include "platform/files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing_support::readFolder;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;
using testing_support::with;
using testing_support::writeFile;
using Contents = testing_support::Folder;

const std::string kBinary = "a\r\nb\nc\rd\0e\x1a\xff"s;

std::u16string wide(const fs::path& path) {
  return path.u16string();
}

using platform::FileProblem;

// Writes `bytes` in two pieces through a replacement of `path` and commits
// it; why that failed, None when it did not.
FileProblem replaceWith(const std::u16string& path, std::string_view bytes) {
  platform::FileReplacement replacement(path);
  replacement.write(bytes.substr(0, bytes.size() / 2));
  replacement.write(bytes.substr(bytes.size() / 2));
  const bool committed = replacement.commit();
  EXPECT_EQ(committed, replacement.failure().problem == FileProblem::None);
  return replacement.failure().problem;
}

TEST(FileReplacement, ReplacesWholeAndKeepsPermissions) {
  TempDir dir;
  writeFile(dir / "live.txt", "old text");
  fs::permissions(dir / "live.txt",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const auto permissions = fs::status(dir / "live.txt").permissions();

  ASSERT_EQ(replaceWith(wide(dir / "live.txt"), kBinary), FileProblem::None);
  EXPECT_EQ(readFolder(dir.path()), (Contents{{"live.txt", kBinary}}));
  EXPECT_EQ(fs::status(dir / "live.txt").permissions(), permissions);
}

TEST(FileReplacement, RefusesWhatItMustNotWriteAndLeavesNothing) {
  TempDir dir;
  writeFile(dir / "readonly.txt", "kept");
  testing_support::setReadOnly(dir / "readonly.txt", true);
  writeFile(dir / "uncommitted.txt", "kept");
  fs::create_directory(dir / "folder");

  EXPECT_EQ(replaceWith(wide(dir / "readonly.txt"), "new"), FileProblem::AccessDenied);
  EXPECT_EQ(replaceWith(wide(dir / "missing.txt"), "new"), FileProblem::Missing);
  EXPECT_EQ(replaceWith(wide(dir / "folder"), "new"), FileProblem::AccessDenied);
  const platform::InputFile notOpen(wide(dir / "missing.txt"));
  platform::FileReplacement copy(wide(dir / "copy.txt"), notOpen);
  EXPECT_FALSE(copy.create());
  EXPECT_EQ(copy.failure().problem, FileProblem::Missing);
  {
    platform::FileReplacement dropped(wide(dir / "uncommitted.txt"));
    EXPECT_TRUE(dropped.write("new"));
  }
  EXPECT_EQ(readFolder(dir.path()),
            (Contents{{"readonly.txt", "kept"}, {"uncommitted.txt", "kept"}}));
  EXPECT_TRUE(fs::is_directory(dir / "folder"));
}

// The temporary file is made at the first write, beside the live file and
// named after it, if it has a name at all.
TEST(FileReplacement, MakesItsTemporaryFileAtTheFirstWrite) {
  TempDir dir;
  writeFile(dir / "live.txt", "old");
  platform::FileReplacement replacement(wide(dir / "live.txt"));
  EXPECT_EQ(readFolder(dir.path()), (Contents{{"live.txt", "old"}}));
  ASSERT_TRUE(replacement.write("new"));
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "live.txt" || name.starts_with("live.txt.pkgcustomize-")) << name;
  }
  ASSERT_TRUE(replacement.seal());
  EXPECT_FALSE(replacement.write(" after the seal"));
  ASSERT_TRUE(replacement.commit());
  EXPECT_FALSE(replacement.write("after the commit"));
  EXPECT_EQ(readFolder(dir.path()), (Contents{{"live.txt", "new"}}));
}

// Only regular files named as our temporary files are leftovers, read-only
// ones included; nothing else is touched.
TEST(Leftovers, OnlyOursAreFoundAndRemoved) {
  TempDir dir;
  const ScopedCurrentDir inside(dir.path());
  const Contents others{{"kvsetup.cif", "live"},
                        {"kvsetup.cif.pkgcustomize-AbC12", "five characters"},
                        {"kvsetup.cif.pkgcustomize-AbC1234", "seven characters"},
                        {"kvsetup.cif.pkgcustomize-AbC-12", "not a letter or digit"},
                        {"kvsetup.cif.pkgcustomise-AbC123", "another program's mark"}};
  testing_support::writeFolder(dir.path(), with(others, ".pkgcustomize-Zz9Yy8", "old style"));
  writeFile(dir / "kvsetup.cif.pkgcustomize-AbC123", "ours, read-only");
  testing_support::setReadOnly(dir / "kvsetup.cif.pkgcustomize-AbC123", true);
  fs::create_directory(dir / "folder.pkgcustomize-AbC123");

  auto found = platform::findLeftovers();
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::u16string>{u".pkgcustomize-Zz9Yy8",
                                                u"kvsetup.cif.pkgcustomize-AbC123"}));
  platform::removeLeftovers();
  EXPECT_EQ(readFolder(dir.path()), others);
  EXPECT_TRUE(fs::is_directory(dir / "folder.pkgcustomize-AbC123"));
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
