// Several folders in one call of the check tool, as a process: a report per
// folder in each format, files named from where the tool is started, and the
// worst exit status.
#include <gtest/gtest.h>

#include <algorithm>
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

// Two package folders side by side: "clean", and "mistakes" with an error
// in the .cmd kind and a warning at config.xml:6:5.
struct Packages {
  TempDir dir;
  Packages() {
    const Folder clean = samplePackage();
    for (const char* name : {"clean", "mistakes"}) fs::create_directory(dir / name);
    writeFolder(dir / "clean", clean);
    writeFolder(
        dir / "mistakes",
        with(with(clean, "kv-setup_o.cmd", "set BAR=B8DF\r\n"), "config.xml",
             oneEntryConfig({"<package_type>O</package_type>", "<quil_bar_pc>1A2B</quil_bar_pc>",
                             "<market_type>\n  de-de</market_type>"})));
  }
};

// The tool started in `workDir` with `args`.
ProcessOutput checkIn(const fs::path& workDir, const std::vector<std::string>& args,
                      const char* input = nullptr) {
  std::vector<fs::path> argv = {testing_support::builtProgram("pkgcustomize-check")};
  argv.insert(argv.end(), args.begin(), args.end());
  return testing_support::runCaptured(argv, workDir, input);
}

struct FoldersCase {
  const char* what;
  std::vector<std::string> args;
  int status;
  std::vector<std::string> found;  // in the output, in this order
  const char* in = "";             // where the tool starts, under the packages' folder
  const char* input = nullptr;     // its standard input
};

// A config.xml that ends before its entry does, on a single line.
const char kCutShort[] = "<config><binary code=\"TR0107\"><package_type>O</package_type>";

// clang-format off
const FoldersCase kFoldersCases[] = {
    {"a folder given twice, once by its config.xml",
     {"--all", "clean", "clean/config.xml"}, 0,
     {"folder         clean\nconfig.xml", "2 packages: 2 complete",
      "\n\nfolder         clean\nconfig.xml", "2 packages: 2 complete"}},
    {"a single folder that does not exist",
     {"--all", "missing"}, 2, {"pkgcustomize-check: the folder missing does not exist"}},
    {"a file that is not a folder",
     {"--launcher=TRKVa_b_TR0107_x.exe", "clean", "clean/kvsetup.cif"}, 2,
     {"folder         clean\n", "clean/kvsetup.cif is not a folder"}},
    {"warnings with strict",
     {"--launcher=TRKVa_b_TR0107_x.exe", "--strict", "clean", "mistakes"}, 1, {"warning"}},
    {"gcc without a launcher, at the folder's first line",
     {"--format=gcc", "clean", "mistakes"}, 1,
     {"clean:1:1: error: no launcher above the run", "mistakes:1:1: error: no launcher"}},
    {"without a launcher: the file's mistakes, and how to check a package",
     {"--format=gcc", "mistakes"}, 1,
     {"mistakes:1:1: error: no launcher above the run", "; check a package with --launcher NAME, "
      "or every package with --all [no-launcher]", "mistakes/config.xml:6:5: warning: "}},
    {"gcc lines name files from where the tool starts",
     {"--all", "--format=gcc", "mistakes/config.xml", "clean"}, 1,
     {"mistakes/config.xml:6:5: warning: ", "mistakes/kv-setup_o.cmd:1:1: error: "}},
    {"gcc lines from inside a folder named by its config.xml",
     {"--all", "--format=gcc", "config.xml", "../clean"}, 1,
     {"config.xml:6:5: warning: ", "kv-setup_o.cmd:1:1: error: "}, "mistakes"},
    {"fixes shown as diffs naming each folder's file",
     {"--all", "--fix", "--dry-run", "clean", "mistakes/config.xml"}, 1,
     {"--- a/mistakes/config.xml\n+++ b/mistakes/config.xml\n", "+    <market_type>de-de<"}},
    {"fixes made in each folder, then what is left",
     {"--all", "--fix", "--format=gcc", "clean", "mistakes"}, 1,
     {"mistakes/kv-setup_o.cmd:1:1: error: "}},
    {"standard input as the config.xml of the folder named",
     {"--launcher=TRKVa_b_TR0107_x.exe", "--format=gcc", "--stdin-filename=clean/config.xml", "-"},
     1, {"clean/config.xml:1:"}, "", kCutShort},
    {"standard input beside folders, from inside one",
     {"--all", "--format=gcc", "../mistakes", "--stdin-filename", "config.xml", "-"}, 1,
     {"../mistakes/config.xml:6:5: warning: ", "config.xml:1:"}, "clean", kCutShort},
    {"github annotations",
     {"--all", "--format=github", "clean", "mistakes"}, 1,
     {"::warning file=mistakes/config.xml,line=6,col=5,title=wrapped-value::",
      "::error file=mistakes/kv-setup_o.cmd,line=1,col=1,title=missing-text::"}},
};
// clang-format on

// VS Code's $gcc problem matcher.
const std::regex kGccMatcher(R"(^(.*?):(\d+):(\d*):?\s+(?:fatal\s+)?(warning|error):\s+(.*)$)");

class Folders : public testing::TestWithParam<FoldersCase> {};

TEST_P(Folders, AreEachReported) {
  const FoldersCase& c = GetParam();
  const Packages packages;
  const fs::path workDir = packages.dir / c.in;
  ProcessOutput output = checkIn(workDir, c.args, c.input);
  std::replace(output.output.begin(), output.output.end(), '\\', '/');
  EXPECT_EQ(output.status, c.status) << output.output;
  std::size_t at = 0;
  for (const std::string& text : c.found) {
    at = output.output.find(text, at);
    ASSERT_NE(at, std::string::npos) << text << "\nin\n" << output.output;
  }
  if (c.args[0] != "--format=gcc" && c.args[1] != "--format=gcc") return;
  // Every finding reaches an editor, at a place it can open from here, and
  // so does each fix-it note after one.
  static const std::regex kFixItNote(R"(^(.*?):(\d+):(\d+): note: fix-it: .*$)");
  std::istringstream lines(output.output);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, kGccMatcher) ||
                std::regex_match(line, match, kFixItNote))
        << line;
    EXPECT_TRUE(fs::exists(workDir / match[1].str())) << line;
  }
}

INSTANTIATE_TEST_SUITE_P(Arguments, Folders, testing::ValuesIn(kFoldersCases),
                         testing_support::ByWhat());

// The document the tool prints with `format` for "clean", "missing" and
// "mistakes/config.xml", before its error output about the missing one.
nlohmann::json foldersDocument(const std::string& format) {
  const Packages packages;
  const ProcessOutput output =
      checkIn(packages.dir.path(), {"--all", format, "clean", "missing", "mistakes/config.xml"});
  EXPECT_EQ(output.status, 2);
  const std::string printed = output.output.substr(0, output.output.rfind("}\n") + 2);
  const nlohmann::json document = nlohmann::json::parse(printed, nullptr, false);
  EXPECT_FALSE(document.is_discarded()) << output.output;
  return document;
}

// JSON: one document with an entry per folder, each the report that folder
// alone gives or why it was not checked, and the counts over all of them.
TEST(FoldersJson, HoldsAnEntryPerFolder) {
  const nlohmann::json document = foldersDocument("--json");
  nlohmann::json entries = nlohmann::json::array();
  for (const auto& f : document["folders"]) {
    const auto& report = f["report"];
    entries.push_back({f["given"], f["error"], report.is_null() ? report : report["mode"]});
  }
  EXPECT_EQ(entries, nlohmann::json::parse(R"([["clean", null, "all"],
      ["missing", "the folder missing does not exist", null], ["mistakes/config.xml", null, "all"]])"));
  EXPECT_EQ(document["mode"], "folders");
  EXPECT_EQ(document["summary"], nlohmann::json::parse(R"({"errors": 2, "warnings": 1,
      "byRule": {"line-break-in-script": 1, "missing-text": 1, "wrapped-value": 1},
      "suppressed": 0, "folders": 3, "notChecked": 1})"));
}

// SARIF: one log with one run, as code scanning takes it, each folder's
// results placed in a base of its own; a folder that was not checked is a
// notification of an invocation that failed.
TEST(FoldersSarif, HoldOneRun) {
  const nlohmann::json log = foldersDocument("--format=sarif");
  ASSERT_EQ(log["runs"].size(), 1u);
  const auto& run = log["runs"][0];
  nlohmann::json bases = nlohmann::json::array();
  for (const auto& [id, base] : run["originalUriBaseIds"].items()) {
    const std::string uri = base["uri"];
    bases.push_back({id, uri.substr(uri.rfind('/', uri.size() - 2)), base["description"]["text"]});
  }
  EXPECT_EQ(bases, nlohmann::json::parse(R"([["PACKAGE1", "/clean/", "clean."],
      ["PACKAGE2", "/missing/", "missing."], ["PACKAGE3", "/mistakes/", "mistakes."]])"));
  nlohmann::json placed = nlohmann::json::array();
  for (const auto& result : run["results"]) {
    const auto& where = result["locations"][0]["physicalLocation"]["artifactLocation"];
    placed.push_back({result["ruleId"], where["uriBaseId"], where["uri"]});
  }
  EXPECT_EQ(placed, nlohmann::json::parse(R"([["wrapped-value", "PACKAGE3", "config.xml"],
      ["line-break-in-script", "PACKAGE3", "config.xml"],
      ["missing-text", "PACKAGE3", "kv-setup_o.cmd"]])"));
  EXPECT_EQ(run["invocations"], nlohmann::json::parse(R"([{"executionSuccessful": false,
      "toolExecutionNotifications": [{"level": "error",
        "message": {"text": "the folder missing does not exist."}}]}])"));
}

}  // namespace
