#include "check/report/unified_diff.h"

#include <gtest/gtest.h>

#include "row_names.h"

namespace {

struct DiffCase {
  const char* what;
  std::string before;
  std::string after;
  bool beforeExists;
  std::string expected;
};

const DiffCase kDiffCases[] = {
    {"equal", "a\nb\n", "a\nb\n", true, ""},
    {"one line changed", "a\r\nb\r\nc\r\n", "a\r\nB\r\nc\r\n", true,
     "--- a/f\n+++ b/f\n@@ -1,3 +1,3 @@\n a\n-b\n+B\n c\n"},
    {"line end changed", "a\nb\n", "a\r\nb\r\n", true,
     "--- a/f\n+++ b/f\n@@ -1,2 +1,2 @@\n-a\n-b\n+a^M\n+b^M\n"},
    {"new file", "", "x\n", false, "--- /dev/null\n+++ b/f\n@@ -0,0 +1 @@\n+x\n"},
    {"no newline at the end", "a\nb", "a\nc", true,
     "--- a/f\n+++ b/f\n@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+c\n"
     "\\ No newline at end of file\n"},
    {"changes far apart make two hunks", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n",
     "one\n2\n3\n4\n5\n6\n7\n8\n9\nten\n", true,
     "--- a/f\n+++ b/f\n@@ -1,4 +1,4 @@\n-1\n+one\n 2\n 3\n 4\n@@ -7,4 +7,4 @@\n 7\n 8\n 9\n-10\n"
     "+ten\n"},
    {"changes close together make one hunk", "1\n2\n3\n4\n5\n6\n7\n8\n",
     "one\n2\n3\n4\n5\n6\n7\neight\n", true,
     "--- a/f\n+++ b/f\n@@ -1,8 +1,8 @@\n-1\n+one\n 2\n 3\n 4\n 5\n 6\n 7\n-8\n+eight\n"},
    {"a line gone whose text stays with another line end", "x\r\nx\n", "x\r\n", true,
     "--- a/f\n+++ b/f\n@@ -1,2 +1 @@\n x\n-x\n"},
    {"a head and a tail kept around lines of other counts", "1\n2\n3\n4\n5\n",
     "1\n2\nX\nY\nZ\n4\n5\n", true,
     "--- a/f\n+++ b/f\n@@ -1,5 +1,7 @@\n 1\n 2\n-3\n+X\n+Y\n+Z\n 4\n 5\n"},
    {"a line added that repeats the last", "a\n", "a\na\n", true,
     "--- a/f\n+++ b/f\n@@ -1 +1,2 @@\n a\n+a\n"},
    {"a line moved, its line end kept", "x\r\ny\r\n", "y\r\nx\r\n", true,
     "--- a/f\n+++ b/f\n@@ -1,2 +1,2 @@\n-x\n y\n+x\n"},
    {"line added in the middle", "a\nb\nc\nd\ne\n", "a\nb\nX\nc\nd\ne\n", true,
     "--- a/f\n+++ b/f\n@@ -1,5 +1,6 @@\n a\n b\n+X\n c\n d\n e\n"},
};

class UnifiedDiff : public testing::TestWithParam<DiffCase> {};

TEST_P(UnifiedDiff, ShowsTheChanges) {
  const DiffCase& c = GetParam();
  EXPECT_EQ(check::unifiedDiff(c.before, c.after, "f", c.beforeExists), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Texts, UnifiedDiff, testing::ValuesIn(kDiffCases),
                         testing_support::ByWhat());

// Files too large to compare line by line are shown as wholly replaced.
TEST(UnifiedDiffOfLargeFiles, ShowsThemReplaced) {
  std::string before;
  std::string after;
  for (int i = 0; i < 5000; ++i) {
    before += "a" + std::to_string(i) + "\n";
    after += "b" + std::to_string(i) + "\n";
  }
  const std::string diff = check::unifiedDiff(before, after, "f");
  EXPECT_TRUE(diff.starts_with("--- a/f\n+++ b/f\n@@ -1,5000 +1,5000 @@\n-a0\n-a1\n"))
      << diff.substr(0, 80);
  EXPECT_NE(diff.find("\n-a4999\n+b0\n+b1\n"), std::string::npos);
  EXPECT_TRUE(diff.ends_with("\n+b4999\n"));
}

}  // namespace
