#include "app/launcher.h"

#include <gtest/gtest.h>

#include "row_names.h"

#include <map>

namespace {

// The walk starts at the tool's own id, 30.
struct WalkCase {
  const char* what;
  std::map<std::uint32_t, platform::ProcessEntry> processes;
  std::u16string expected;
  WalkEnd end;
};

const WalkCase kWalkCases[] = {
    {"launcher is the parent",
     {{30, {20, u"pkgcustomize.exe"}}, {20, {10, u"TRKVa_b_TR01_x.exe"}}},
     u"TRKVa_b_TR01_x.exe",
     WalkEnd::Launcher},
    {"through an intermediate process",
     {{30, {25, u"pkgcustomize.exe"}},
      {25, {20, u"cmd.exe"}},
      {20, {10, u"TRKVa_b_TR01_x.exe"}},
      {10, {4, u"explorer.exe"}}},
     u"TRKVa_b_TR01_x.exe",
     WalkEnd::Launcher},
    {"the tool's own name counts",
     {{30, {20, u"TRKVself.exe"}}, {20, {10, u"TRKVparent.exe"}}},
     u"TRKVself.exe",
     WalkEnd::Launcher},
    {"exactly the prefix", {{30, {20, u"TRKV"}}}, u"TRKV", WalkEnd::Launcher},
    {"lower-case prefix passed over",
     {{30, {20, u"tool.exe"}}, {20, {15, u"trkvA_b_TR01.exe"}}, {15, {10, u"TRKVb_c_TR02.exe"}}},
     u"TRKVb_c_TR02.exe",
     WalkEnd::Launcher},
    {"explorer.exe stops the walk",
     {{30, {20, u"tool.exe"}}, {20, {10, u"explorer.exe"}}, {10, {5, u"TRKVa_b_TR01.exe"}}},
     u"explorer.exe",
     WalkEnd::Shell},
    {"Explorer.exe does not stop it",
     {{30, {20, u"tool.exe"}}, {20, {10, u"Explorer.exe"}}, {10, {5, u"TRKVa_b_TR01.exe"}}},
     u"TRKVa_b_TR01.exe",
     WalkEnd::Launcher},
    {"parent id 0 stops the walk",
     {{30, {20, u"tool.exe"}}, {20, {0, u"init"}}, {0, {0, u"TRKVidle"}}},
     u"init",
     WalkEnd::NoParent},
    {"parent has ended", {{30, {20, u"tool.exe"}}}, u"tool.exe", WalkEnd::ParentMissing},
    {"own id missing", {{20, {10, u"TRKVa_b_TR01.exe"}}}, u"", WalkEnd::NotListed},
    {"a loop of ids",
     {{30, {20, u"tool.exe"}}, {20, {25, u"a.exe"}}, {25, {20, u"b.exe"}}},
     u"b.exe",
     WalkEnd::Loop},
};

class LauncherWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(LauncherWalk, FindsTheExpectedName) {
  const WalkCase& c = GetParam();
  const platform::ProcessLookup lookup =
      [&c](std::uint32_t id) -> std::optional<platform::ProcessEntry> {
    const auto found = c.processes.find(id);
    if (found == c.processes.end()) return std::nullopt;
    return found->second;
  };
  const LauncherSearch search = findLauncher(30, lookup);
  EXPECT_EQ(search.name, c.expected);
  EXPECT_EQ(search.end, c.end);
}

INSTANTIATE_TEST_SUITE_P(ProcessTables, LauncherWalk, testing::ValuesIn(kWalkCases),
                         testing_support::ByWhat());

}  // namespace
