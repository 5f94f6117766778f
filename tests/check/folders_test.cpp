// Several folders in one call of the check tool, as a process: a report per
// folder in each format, files named from where the tool is started, and the
// worst exit status.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "check_support.h"
#include "package_folder.h"
#include "row_names.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace scenario;
using namespace check_support;
using testing_support::ProcessOutput;
using testing_support::TempDir;

// Three package folders side by side: "clean", "mistakes" (an error in the
// .cmd kind, a warning at config.xml:6:5) and "other" (clean, in a folder
// whose config.xml is named).
struct Packages {
  TempDir dir;
  Packages() {
    const Folder clean = samplePackage();
    for (const char* name : {"clean", "mistakes", "other"}) fs::create_directory(dir / name);
    writeFolder(dir / "clean", clean);
    writeFolder(dir / "other", clean);
    writeFolder(
        dir / "mistakes",
        with(with(clean, "kv-setup_o.cmd", "set BAR=B8DF\r\n"), "config.xml",
             oneEntryConfig({"<package_type>O</package_type>", "<quil_bar_pc>1A2B</quil_bar_pc>",
                             "<market_type>\n  de-de</market_type>"})));
  }
};

// The tool started in `workDir` with `args`.
ProcessOutput checkIn(const fs::path& workDir, const std::vector<std::string>& args) {
  std::vector<fs::path> argv = {testing_support::builtProgram("pkgcustomize-check")};
  argv.insert(argv.end(), args.begin(), args.end());
  return testing_support::runCaptured(argv, workDir);
}

struct FoldersCase {
  const char* what;
  std::vector<std::string> args;
  int status;
  std::vector<std::string> found;  // in the output, in this order
  const char* in = "";             // where the tool starts, under the packages' folder
};

const std::string kMissingText = "kv-setup_o.cmd lacks \"en-us\"";

const FoldersCase kFoldersCases[] = {
    {"two clean folders",
     {"--all", "clean", "other/config.xml"},
     0,
     {"folder         clean\nconfig.xml", "2 packages: 2 complete",
      "\n\nfolder         other\nconfig.xml", "2 packages: 2 complete"}},
    {"a clean folder and one with an error",
     {"--all", "--only-failures", "clean", "mistakes"},
     1,
     {"folder         clean\n", "folder         mistakes\n",
      "mistakes/kv-setup_o.cmd: error: " + kMissingText}},
    {"a folder that does not exist between two others",
     {"--all", "mistakes", "missing", "clean"},
     2,
     {"folder         mistakes\n", "folder         clean\n",
      "pkgcustomize-check: the folder missing does not exist"}},
    {"a file that is not a folder",
     {"--launcher=TRKVa_b_TR0107_x.exe", "clean", "clean/kvsetup.cif"},
     2,
     {"folder         clean\n", "clean/kvsetup.cif is not a folder"}},
    {"warnings only", {"--launcher=TRKVa_b_TR0107_x.exe", "clean", "mistakes"}, 0, {"warning"}},
    {"warnings with strict",
     {"--launcher=TRKVa_b_TR0107_x.exe", "--strict", "clean", "mistakes"},
     1,
     {"warning"}},
    {"gcc lines name files from where the tool starts",
     {"--all", "--format=gcc", "mistakes/config.xml", "clean"},
     1,
     {"mistakes/config.xml:6:5: warning: ", "mistakes/kv-setup_o.cmd:1:1: error: " + kMissingText}},
    {"gcc lines from inside a folder named by its config.xml",
     {"--all", "--format=gcc", "config.xml", "../clean"},
     1,
     {"config.xml:6:5: warning: ", "kv-setup_o.cmd:1:1: error: "},
     "mistakes"},
    {"github annotations",
     {"--all", "--format=github", "clean", "mistakes"},
     1,
     {"::warning file=mistakes/config.xml,line=6,col=5,title=wrapped-value::",
      "::error file=mistakes/kv-setup_o.cmd,line=1,col=1,title=missing-text::"}},
};

// VS Code's $gcc problem matcher.
const std::regex kGccMatcher(R"(^(.*?):(\d+):(\d*):?\s+(?:fatal\s+)?(warning|error):\s+(.*)$)");

class Folders : public testing::TestWithParam<FoldersCase> {};

TEST_P(Folders, AreEachReported) {
  const FoldersCase& c = GetParam();
  const Packages packages;
  const fs::path workDir = packages.dir / c.in;
  ProcessOutput output = checkIn(workDir, c.args);
  for (char& c : output.output) {
    if (c == '\\') c = '/';
  }
  EXPECT_EQ(output.status, c.status) << output.output;
  std::size_t at = 0;
  for (const std::string& text : c.found) {
    at = output.output.find(text, at);
    ASSERT_NE(at, std::string::npos) << text << "\nin\n" << output.output;
  }
  if (c.args[1] != "--format=gcc") return;
  // Every line reaches an editor, at a file it can open from here.
  std::istringstream lines(output.output);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, kGccMatcher)) << line;
    EXPECT_TRUE(fs::is_regular_file(workDir / match[1].str())) << line;
  }
}

INSTANTIATE_TEST_SUITE_P(Arguments, Folders, testing::ValuesIn(kFoldersCases),
                         testing_support::ByWhat());

// What the tool printed before its error output: the document.
nlohmann::json documentOf(const ProcessOutput& output) {
  const auto end = output.output.rfind("}\n");
  const nlohmann::json document =
      nlohmann::json::parse(output.output.substr(0, end + 2), nullptr, false);
  EXPECT_FALSE(document.is_discarded()) << output.output;
  return document;
}

// JSON: one document with an entry per folder, each the report that folder
// alone gives, or why it was not checked; the counts over all of them.
TEST(FoldersJson, HoldsAnEntryPerFolder) {
  const Packages packages;
  const ProcessOutput output =
      checkIn(packages.dir.path(), {"--all", "--json", "clean", "missing", "mistakes/config.xml"});
  EXPECT_EQ(output.status, 2);
  const nlohmann::json document = documentOf(output);
  EXPECT_EQ(document["mode"], "folders");
  EXPECT_EQ(document["schemaVersion"], 1);
  const auto& folders = document["folders"];
  ASSERT_EQ(folders.size(), 3u) << output.output;
  EXPECT_EQ(folders[0]["given"], "clean");
  EXPECT_TRUE(folders[0]["error"].is_null());
  EXPECT_EQ(folders[0]["report"]["mode"], "all");
  EXPECT_EQ(folders[1]["given"], "missing");
  EXPECT_EQ(folders[1]["error"], "the folder missing does not exist");
  EXPECT_TRUE(folders[1]["report"].is_null());
  EXPECT_EQ(folders[2]["given"], "mistakes/config.xml");
  EXPECT_TRUE(folders[2]["report"]["folder"].get<std::string>().ends_with("mistakes"));
  EXPECT_EQ(document["summary"],
            (nlohmann::json{{"errors", 1},
                            {"warnings", 1},
                            {"byRule", {{"missing-text", 1}, {"wrapped-value", 1}}},
                            {"folders", 3},
                            {"notChecked", 1}}));
}

// SARIF: one log with a run per folder, each placing its results in its own
// folder; a folder that was not checked is a run whose invocation failed.
TEST(FoldersSarif, HoldARunPerFolder) {
  const Packages packages;
  const ProcessOutput output =
      checkIn(packages.dir.path(), {"--all", "--format=sarif", "mistakes", "missing", "clean"});
  EXPECT_EQ(output.status, 2);
  const nlohmann::json log = documentOf(output);
  const auto& runs = log["runs"];
  ASSERT_EQ(runs.size(), 3u) << output.output;
  const std::vector<std::pair<std::string, std::size_t>> expected = {
      {"/mistakes/", 2}, {"/missing/", 0}, {"/clean/", 0}};
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_TRUE(runs[i]["originalUriBaseIds"]["PACKAGE"]["uri"].get<std::string>().ends_with(
        expected[i].first))
        << runs[i]["originalUriBaseIds"];
    EXPECT_EQ(runs[i]["results"].size(), expected[i].second) << i;
    EXPECT_EQ(runs[i].contains("invocations"), i == 1) << i;
  }
  const auto& failed = runs[1]["invocations"].at(0);
  EXPECT_EQ(failed["executionSuccessful"], false);
  EXPECT_EQ(failed["toolExecutionNotifications"].at(0)["message"]["text"],
            "the folder missing does not exist.");
}

}  // namespace
