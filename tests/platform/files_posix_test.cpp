// Files that only a POSIX system has: FIFOs, files whose size the system does
// not know in advance, and a copy between two file systems.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/files.h"
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
  EXPECT_FALSE(platform::copyFile(fifo, (dir / "target").u16string()));
  platform::FileReplacement replacement(fifo);
  replacement.write("new");
  EXPECT_FALSE(replacement.commit());
  EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
  EXPECT_EQ(readFolder(dir.path()), (testing_support::Folder{{"target", "kept"}}));
}

// The system reports a size of 0 for the files of /proc, whatever they hold.
TEST(ReadFileBytes, ReadsPastTheSizeTheSystemReports) {
  const std::string cmdline = testing_support::readFile("/proc/self/cmdline");
  ASSERT_GT(cmdline.size(), 1u);
  EXPECT_EQ(platform::readFileBytes(u"/proc/self/cmdline"), cmdline);
}

// Between two file systems the kernel copies nothing, so the copy goes
// through a buffer of its own.
TEST(CopyFile, CopiesBetweenFileSystems) {
  TempDir target;
  struct stat here {};
  struct stat shm {};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(target.path().c_str(), &here) != 0 ||
      shm.st_dev == here.st_dev) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
  const fs::path source = fs::path("/dev/shm") / target.path().filename();
  const std::string bytes(200000, 'x');  // more than one buffer
  writeFile(source, bytes);
  const bool copied = platform::copyFile(source.u16string(), (target / "copy").u16string());
  fs::remove(source);
  EXPECT_TRUE(copied);
  EXPECT_EQ(readFolder(target.path()), (testing_support::Folder{{"copy", bytes}}));
}

}  // namespace
