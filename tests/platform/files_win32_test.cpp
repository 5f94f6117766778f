// What Windows keeps of a live file that is copied over or patched: under
// Wine, its attributes (hidden among them, which Wine's ReplaceFileW drops).
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform_copy.h"
#include "test_support.h"

namespace {

TEST(Attributes, StayWithTheLiveFile) {
  testing_support::TempDir dir;
  const testing_support::ScopedCurrentDir inside(dir.path());
  testing_support::writeFolder(dir.path(), {{"variant", "copied"}, {"live", "old"}});
  const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  ASSERT_TRUE(SetFileAttributesW(L"live", attributes));

  ASSERT_TRUE(testing_support::copyThroughPlatform(u"variant", u"live"));
  EXPECT_EQ(GetFileAttributesW(L"live"), attributes);
  platform::FileReplacement patch(u"live");
  ASSERT_TRUE(patch.write("patched"));
  ASSERT_TRUE(patch.commit());
  EXPECT_EQ(GetFileAttributesW(L"live"), attributes);
  EXPECT_EQ(testing_support::readFolder(dir.path()),
            (testing_support::Folder{{"live", "patched"}, {"variant", "copied"}}));
}

}  // namespace
