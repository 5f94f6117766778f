// Files that only a POSIX system has: FIFOs, files whose size the system does
// not know in advance, links, owners and descriptors.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform_copy.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFolder;
using testing_support::TempDir;
using testing_support::writeFile;

// A FIFO named like a package file must neither be read, waiting for a
// writer that never comes, nor replaced.
TEST(Fifo, IsNeitherReadNorReplaced) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  writeFile(dir / "target", "kept");
  const std::u16string fifo = (dir / "fifo").u16string();

  EXPECT_EQ(platform::readFileBytes(fifo), std::nullopt);
  EXPECT_FALSE(platform::InputFile(fifo).isOpen());
  EXPECT_FALSE(testing_support::copyThroughPlatform(fifo, (dir / "target").u16string()));
  EXPECT_FALSE(platform::FileReplacement{fifo}.commit());
  EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
  EXPECT_EQ(readFolder(dir.path()), (testing_support::Folder{{"target", "kept"}}));
}

// The system reports a size of 0 for the files of /proc, whatever they hold.
TEST(ReadFileBytes, ReadsPastTheSizeTheSystemReports) {
  const std::string cmdline = testing_support::readFile("/proc/self/cmdline");
  ASSERT_GT(cmdline.size(), 1u);
  EXPECT_EQ(platform::readFileBytes(u"/proc/self/cmdline"), cmdline);
}

// A link named like our temporary files is not ours to remove, nor is what it
// points to; nor can a removal reach through it.
TEST(Leftovers, LinksAreNeitherFoundNorFollowed) {
  TempDir dir;
  TempDir elsewhere;
  writeFile(elsewhere / "kept", "kept");
  fs::create_symlink(elsewhere / "kept", dir / "live.pkgcustomize-Link00");
  const testing_support::ScopedCurrentDir inside(dir.path());
  EXPECT_TRUE(platform::findLeftovers().empty());
  platform::removeLeftovers();
  EXPECT_TRUE(fs::is_symlink(dir / "live.pkgcustomize-Link00"));
  EXPECT_EQ(readFolder(elsewhere.path()), (testing_support::Folder{{"kept", "kept"}}));
}

// A copy over a live file, like a patch of it, keeps the live file's owner; a
// new one is the process's, which as root may write it when any write bit of
// its mode is set. Only root can give a file to another user to show it.
TEST(Owner, StaysWithTheLiveFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to own a file for another user";
  TempDir dir;
  writeFile(dir / "variant", "new");
  writeFile(dir / "live", "old");
  ASSERT_EQ(::chown((dir / "variant").c_str(), 1234, 1235), 0);
  ASSERT_EQ(::chown((dir / "live").c_str(), 4321, 4322), 0);
  ASSERT_TRUE(testing_support::copyThroughPlatform((dir / "variant").u16string(),
                                                   (dir / "new").u16string()));
  fs::permissions(dir / "variant", fs::perms::owner_read | fs::perms::group_write);
  const platform::InputFile variant((dir / "variant").u16string());
  EXPECT_TRUE(platform::FileReplacement((dir / "copy").u16string(), variant).leavesWritable());
  const std::u16string live = (dir / "live").u16string();
  ASSERT_TRUE(testing_support::copyThroughPlatform((dir / "variant").u16string(), live));
  platform::FileReplacement patch(live);
  ASSERT_TRUE(patch.commit());
  struct stat info {};
  ASSERT_EQ(::stat((dir / "live").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4321u);
  EXPECT_EQ(info.st_gid, 4322u);
  ASSERT_EQ(::stat((dir / "new").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
}

// Every descriptor opened is closed again, whether the operation succeeds or not.
TEST(Descriptors, AreAllClosedAgain) {
  const auto count = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
  TempDir dir;
  writeFile(dir / "file", "text");
  const std::u16string file = (dir / "file").u16string();
  const auto before = count();
  platform::readFileBytes(file);
  testing_support::copyThroughPlatform(file, (dir / "copy").u16string());
  platform::InputFile{file};
  platform::FileReplacement{file}.write("dropped");
  platform::FileReplacement{file}.commit();
  EXPECT_EQ(count(), before);
}

}  // namespace
