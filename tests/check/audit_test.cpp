#include "check/audit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <variant>

#include "../scenario/package_folder.h"
#include "check/check_tool.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace scenario;
using check::FindingKind;
using testing_support::TempDir;

const Folder kPackage = samplePackage();

std::string config(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<config>\n" + body + "</config>\n";
}

std::string entry(const std::string& code, const std::string& values) {
  return "  <binary code=\"" + code + "\">" + values + "</binary>\n";
}

const std::string kE = "<package_type>E</package_type><market_type>fr-fr</market_type>";
const std::string kO =
    "<package_type>O</package_type><quil_bar_pc>1A2B</quil_bar_pc><market_type>de</market_type>";

// An expected finding: its kind, the entry's line (0: none) or for a prepared
// file how many packages it breaks.
struct Expected {
  FindingKind kind;
  long number;
};

struct AuditCase {
  const char* what;
  Folder folder;
  int status;
  std::string summary;  // the last line of the text report
  std::vector<Expected> findings;
};

const AuditCase kAuditCases[] = {
    {"the sample", kPackage, 0, "2 packages: 2 complete, 0 incomplete; 0 findings", {}},
    {"entries no run reads, and doubtful values",
     with(kPackage, "config.xml",
          config(entry("TR01", kO) + entry("TR01", "<package_type>E</package_type>") +  // 3, 4
                 "  <binary><package_type>E</package_type></binary>\n" +                // 5
                 entry("tr02", kE) + entry("TR_3", kE) +                                // 6, 7
                 "  <group>" + entry("TR04", kE) + "  </group>\n" +                     // 8, 9
                 entry("TR05",
                       "<package_type> O</package_type><quil_bar_pc>1A2B</quil_bar_pc>"
                       "<market_type>de</market_type>") +  // 10
                 entry("TR06",
                       "<package_type>E</package_type><quil_bar_pc>1A2B</quil_bar_pc>"
                       "<market_type>\n    fr-fr\n  </market_type>") +  // 11 to 13
                 entry("TR07", "<package_type>O</package_type><market_type>de</market_type>") +
                 entry("TR08", "<package_type>o</package_type><market_type>de </market_type>") +
                 entry("TR|9", kE))),
     1,
     "5 packages: 4 complete, 1 incomplete; 11 findings",
     {{FindingKind::DuplicateCode, 4},
      {FindingKind::MissingCode, 5},
      {FindingKind::UncarriedCode, 6},
      {FindingKind::UncarriedCode, 7},
      {FindingKind::NotUnderConfig, 8},
      {FindingKind::LooksLikeO, 10},
      {FindingKind::IgnoredBarPc, 11},
      {FindingKind::BlankInValue, 11},
      {FindingKind::LooksLikeO, 15},
      {FindingKind::BlankInValue, 15},
      {FindingKind::UncarriedCode, 16}}},
    {"prepared files that fail every package of a kind",
     with(with(without(kPackage, "kvsetup_e.cif"), "kvsetup_o.cif", "Bar=B8DF\r\nMarket=en-us\r\n"),
          "kv-setup_o.cmd", "set BAR=B8DF\r\n"),
     1,
     "2 packages: 0 complete, 2 incomplete; 3 findings",
     {{FindingKind::PreparedFile, 1},
      {FindingKind::PreparedFile, 1},
      {FindingKind::PreparedFile, 1}}},
    {"a document element of another name",
     with(kPackage, "config.xml", "<settings>\n" + entry("TR01", kE) + "</settings>\n"),
     1,
     "0 packages: 0 complete, 0 incomplete; 2 findings",
     {{FindingKind::NoEntries, 0}, {FindingKind::NotUnderConfig, 2}}},
    {"config.xml that does not parse",
     with(kPackage, "config.xml", config(entry("TR01", "<package_type>"))),
     1,
     "config.xml cannot be parsed",
     {}},
    {"no config.xml", without(kPackage, "config.xml"), 1, "there is no config.xml", {}},
};

std::string lastLine(const std::string& text) {
  const std::size_t end = text.find_last_not_of('\n');
  return text.substr(text.rfind('\n', end) + 1, end - text.rfind('\n', end));
}

class Audit : public testing::TestWithParam<AuditCase> {};

// The audit finds every finding, on its entry's line where the DOM keeps lines,
// counts the packages, sets the exit status and writes nothing.
TEST_P(Audit, FindsWhatTheWholeFileShows) {
  const AuditCase& c = GetParam();
  TempDir package;
  writeFolder(package.path(), c.folder);
  std::string out;
  std::string err;
  EXPECT_EQ(check::runCheckTool({u"--all", package.path().u16string()}, out, err), c.status) << out;
  EXPECT_NE(lastLine(out).find(c.summary), std::string::npos) << out;
  EXPECT_EQ(readFolder(package.path()), c.folder);

  const testing_support::ScopedCurrentDir inPackage(package.path());
  const check::Audit audit = check::auditPackages();
  // Lines where the DOM gives them.
  const bool lines = std::any_of(audit.findings.begin(), audit.findings.end(),
                                 [](const check::AuditFinding& f) { return f.line != 0; });
  std::vector<std::string> found;
  std::vector<std::string> expected;
  for (const check::AuditFinding& f : audit.findings) {
    const long number = f.kind == FindingKind::PreparedFile ? long(f.packages) : f.line;
    found.push_back(std::to_string(int(f.kind)) + "@" + std::to_string(number));
  }
  for (const Expected& e : c.findings) {
    const long number = e.kind == FindingKind::PreparedFile || lines ? e.number : 0;
    expected.push_back(std::to_string(int(e.kind)) + "@" + std::to_string(number));
  }
  std::sort(found.begin(), found.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected) << out;
}

INSTANTIATE_TEST_SUITE_P(Folders, Audit, testing::ValuesIn(kAuditCases));

// Each row of the audit says what the check of that one launcher says.
TEST(AuditVerdicts, EqualTheSinglePackageCheck) {
  for (const AuditCase& c : kAuditCases) {
    TempDir package;
    writeFolder(package.path(), c.folder);
    const testing_support::ScopedCurrentDir inPackage(package.path());
    for (const check::AuditRow& row : check::auditPackages().rows) {
      const check::Diagnosis single = check::diagnosePackage(row.launcherName, true);
      EXPECT_EQ(row.complete, single.complete) << c.what;
      EXPECT_EQ(row.cause, single.cause) << c.what;
    }
  }
}

// Just enough of JSON to read a report back.
struct Json {
  std::variant<std::nullptr_t, bool, double, std::string, std::vector<Json>,
               std::vector<std::pair<std::string, Json>>>
      value;
  const Json& operator[](const std::string& key) const {
    for (const auto& [name, member] : std::get<5>(value)) {
      if (name == key) return member;
    }
    throw std::out_of_range(key);
  }
};

Json parseJson(const std::string& text, std::size_t& at) {
  const auto skip = [&] {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  };
  const auto string = [&] {
    std::string s;
    for (++at; text.at(at) != '"'; ++at) {
      if (text[at] != '\\') {
        s += text[at];
      } else if (text[++at] == 'u') {
        s += static_cast<char>(std::stoi(text.substr(at + 1, 4), nullptr, 16));
        at += 4;
      } else {
        s += text[at] == 'n' ? '\n' : text[at] == 'r' ? '\r' : text[at] == 't' ? '\t' : text[at];
      }
    }
    ++at;
    return s;
  };
  skip();
  Json json;
  const char first = text.at(at);
  if (first == '{' || first == '[') {
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;
    for (++at, skip(); text.at(at) != (first == '{' ? '}' : ']'); skip()) {
      if (text[at] == ',') ++at, skip();
      if (first == '[') {
        items.push_back(parseJson(text, at));
        continue;
      }
      std::string name = string();
      skip();
      EXPECT_EQ(text.at(at++), ':');
      members.emplace_back(name, parseJson(text, at));
    }
    ++at;
    if (first == '{')
      json.value = members;
    else
      json.value = items;
  } else if (first == '"') {
    json.value = string();
  } else if (text.compare(at, 4, "true") == 0 || text.compare(at, 5, "false") == 0) {
    json.value = text[at] == 't';
    at += text[at] == 't' ? 4 : 5;
  } else {
    std::size_t length = 0;
    json.value = std::stod(text.substr(at), &length);
    at += length;
  }
  return json;
}

TEST(AuditJson, ReadsBackAsTheAudit) {
  const AuditCase& c = kAuditCases[1];
  TempDir package;
  writeFolder(package.path(), c.folder);
  std::string out;
  std::string err;
  ASSERT_EQ(
      check::runCheckTool({u"--all", u"--json", u"--diff", package.path().u16string()}, out, err),
      1);
  std::size_t at = 0;
  const Json report = parseJson(out, at);
  EXPECT_EQ(out.find_first_not_of(" \n", at), std::string::npos) << "one document";

  const auto text = [](const Json& json) { return std::get<std::string>(json.value); };
  const auto& packages = std::get<4>(report["packages"].value);
  ASSERT_EQ(packages.size(), 10u);
  EXPECT_EQ(text(packages[1]["launcher"]), "TRKVpackage_all_TR01_xl.exe");
  EXPECT_EQ(text(packages[1]["kind"]), "cmd");
  EXPECT_EQ(text(packages[6]["cause"]),
            "the entry \"TR07\" is of type \"O\" but has no <quil_bar_pc>");
  const auto& diffs = std::get<4>(packages[0]["diffs"].value);
  ASSERT_EQ(diffs.size(), 1u);
  EXPECT_NE(text(diffs[0]["diff"]).find("\n+Inf=INSTALL_TR01.INF\n"), std::string::npos);

  const auto& findings = std::get<4>(report["findings"].value);
  ASSERT_EQ(findings.size(), 11u);
  EXPECT_NE(std::find_if(findings.begin(), findings.end(),
                         [&](const Json& f) {
                           return text(f["kind"]) == "blank-in-value" &&
                                  text(f["text"]).find("\"\\n    fr-fr\\n  \"") !=
                                      std::string::npos;
                         }),
            findings.end());
  EXPECT_EQ(std::get<double>(report["summary"]["incomplete"].value), 1);
  EXPECT_EQ(text(report["summary"]["text"]), "5 packages: 4 complete, 1 incomplete; 11 findings");
  EXPECT_EQ(std::get<bool>(report["clean"].value), false);
}

}  // namespace
