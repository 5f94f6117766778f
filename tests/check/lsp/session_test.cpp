// The language server's protocol, message by message: the order of its
// life (initialize, shutdown, exit), the errors it answers, the versions it
// keeps, the positions it counts; and, over real package folders, that its
// diagnostics are the audit's findings and its fixes make the bytes --fix
// writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "check/lint/config_fix.h"
#include "check/lint/fix_run.h"
#include "check/lsp/framing.h"
#include "check/lsp/language_server.h"
#include "check/lsp/session.h"
#include "check/report/report.h"
#include "check_support.h"
#include "platform/codepage.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using check::lsp::Json;
using check::lsp::Session;
using testing_support::TempDir;

const std::string kUri = "file:///pkg/config.xml";

// An auditor that finds each "BAD" in config.xml, and keeps what it read.
check::lsp::Auditor badFinder(std::vector<std::string>& read) {
  return [&read](const std::u16string&, std::string_view bytes) {
    read.emplace_back(bytes);
    check::Audit audit;
    const std::u16string text = platform::fromUtf8(bytes);
    long line = 1;
    long column = 1;
    for (std::size_t i = 0; i < text.size(); ++i, ++column) {
      if (text[i] == u'\n') {
        ++line;
        column = 0;
      }
      if (text.compare(i, 3, u"BAD") != 0) continue;
      check::Finding& f = audit.findings.emplace_back(
          check::makeFinding(check::RuleId::UnknownElement, check::kConfigFile, u"bad"));
      f.position = {line, column};
    }
    return audit;
  };
}

// A message in a line: a response "#ID ok" or "#ID CODE", a server request
// "request METHOD", diagnostics "publish NAME vVERSION: RULE@LINE:CHARACTER...".
std::string summary(const Json& m) {
  if (m.contains("method") && m.contains("id")) return "request " + m["method"].get<std::string>();
  if (m.contains("method")) {
    const Json& p = m["params"];
    std::string s = "publish " + fs::path(p["uri"].get<std::string>()).filename().string();
    if (p.contains("version")) s += " v" + p["version"].dump();
    s += ":";
    for (const Json& d : p["diagnostics"]) {
      s += " " + d["code"].get<std::string>() + "@" + d["range"]["start"]["line"].dump() + ":" +
           d["range"]["start"]["character"].dump();
    }
    return s;
  }
  std::string s = "#" + m["id"].dump() + " ";
  if (m.contains("error")) return s + m["error"]["code"].dump();
  s += "ok";
  const Json& result = m["result"];
  if (result.is_object() && result.contains("capabilities")) {
    s += " " + result["capabilities"]["positionEncoding"].get<std::string>();
  }
  if (result.is_object() && result.contains("contents")) s += " hover";
  return s;
}

struct ProtocolCase {
  const char* what;
  // Messages in JSON, or "check" for the checks a quiet moment makes, or
  // "state" for the server's: "shutdown", "exited", the checks made.
  std::vector<std::string> script;
  std::vector<std::string> out;
};

const std::string kInit = R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{}})";
const std::string kInitialized = R"({"jsonrpc":"2.0","method":"initialized","params":{}})";

std::string open(const std::string& text, const std::string& uri = kUri) {
  return Json{
      {"jsonrpc", "2.0"},
      {"method", "textDocument/didOpen"},
      {"params",
       {{"textDocument", {{"uri", uri}, {"languageId", "xml"}, {"version", 1}, {"text", text}}}}}}
      .dump();
}

std::string change(int version, const std::string& text) {
  return Json{{"jsonrpc", "2.0"},
              {"method", "textDocument/didChange"},
              {"params",
               {{"textDocument", {{"uri", kUri}, {"version", version}}},
                {"contentChanges", {{{"text", text}}}}}}}
      .dump();
}

std::string insert(int version, int line, int character, const std::string& text) {
  const Json at = {{"line", line}, {"character", character}};
  return Json{{"jsonrpc", "2.0"},
              {"method", "textDocument/didChange"},
              {"params",
               {{"textDocument", {{"uri", kUri}, {"version", version}}},
                {"contentChanges", {{{"range", {{"start", at}, {"end", at}}}, {"text", text}}}}}}}
      .dump();
}

std::string request(int id, const std::string& method, const std::string& uri = kUri) {
  return Json{
      {"jsonrpc", "2.0"},
      {"id", id},
      {"method", method},
      {"params",
       {{"textDocument", {{"uri", uri}}},
        {"position", {{"line", 0}, {"character", 0}}},
        {"range",
         {{"start", {{"line", 0}, {"character", 0}}}, {"end", {{"line", 9999}, {"character", 0}}}}},
        {"context", {{"diagnostics", Json::array()}}}}}}
      .dump();
}

std::string notify(const std::string& method, const std::string& uri) {
  return Json{
      {"jsonrpc", "2.0"}, {"method", method}, {"params", {{"textDocument", {{"uri", uri}}}}}}
      .dump();
}

const std::string kUtf8Init =
    R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{"general":{"positionEncodings":["utf-8","utf-16"]}}}})";

const ProtocolCase kProtocolCases[] = {
    {"requests before initialize",
     {request(1, "textDocument/hover"), open("BAD"), "check", kInit},
     {"#1 -32002", "#1 ok utf-16"}},
    {"initialize twice", {kInit, kInit}, {"#1 ok utf-16", "#1 -32600"}},
    {"an unknown method; an unknown notification and a response are passed over",
     {kInit, kInitialized, request(2, "textDocument/definition"),
      R"({"jsonrpc":"2.0","method":"$/setTrace","params":{}})",
      R"({"jsonrpc":"2.0","id":9,"result":null})"},
     {"#1 ok utf-16", "#2 -32601"}},
    {"messages that are neither request nor notification",
     {kInit, R"({"jsonrpc":"2.0","id":{"a":1},"method":"shutdown"})", R"({"jsonrpc":"2.0","id":3})",
      R"({"jsonrpc":"2.0","id":4,"method":7})",
      R"({"jsonrpc":"2.0","id":5,"method":"textDocument/hover","params":{}})",
      R"({"jsonrpc":"2.0","id":6,"method":"textDocument/codeAction","params":{"textDocument":7}})"},
     {"#1 ok utf-16", "#null -32600", "#3 -32600", "#4 -32600", "#5 -32602", "#6 -32602"}},
    {"shutdown, then requests refused, then exit",
     {kInit, request(2, "shutdown"), request(3, "textDocument/hover"), open("BAD"), "check",
      R"({"jsonrpc":"2.0","method":"exit"})", "state"},
     {"#1 ok utf-16", "#2 ok", "#3 -32600", "shutdown exited 0 checks"}},
    {"exit without shutdown",
     {kInit, R"({"jsonrpc":"2.0","method":"exit"})", "state"},
     {"#1 ok utf-16", "exited 0 checks"}},
    {"a burst of changes checked once, at its last version",
     {kInit, open("x"), change(2, "BAD"), change(3, "x BAD"), change(4, "xx BAD"),
      change(5, "xxx BAD"), "check", "check", "state"},
     {"#1 ok utf-16", "publish config.xml v5: unknown-element@0:4", "1 checks"}},
    {"a change older than the text held is dropped",
     {kInit, open("x"), change(3, "BAD"), change(2, "x"), "check"},
     {"#1 ok utf-16", "publish config.xml v3: unknown-element@0:0"}},
    {"a hover on a finding's line",
     {kInit, open("BAD"), request(2, "textDocument/hover")},
     {"#1 ok utf-16", "publish config.xml v1: unknown-element@0:0", "#2 ok hover"}},
    {"a request about a changed document has it checked first",
     {kInit, open("x"), "check", change(2, "\nBAD"), request(2, "textDocument/hover")},
     {"#1 ok utf-16", "publish config.xml v1:", "publish config.xml v2: unknown-element@1:0",
      "#2 ok"}},
    {"edits in UTF-16 code units: a character outside the BMP counts two, a line ends at its end",
     {kInit, open("<a>\xF0\x9F\x98\x80</a>\r\n<b/>\r\n<c/>"), insert(2, 0, 5, "BAD"),
      insert(3, 1, 1, "BAD"), insert(4, 1, 99, "BAD"), "check"},
     {"#1 ok utf-16",
      "publish config.xml v4: unknown-element@0:5 unknown-element@1:1 unknown-element@1:7"}},
    {"UTF-8 positions when the client offers them: that character counts four",
     {kUtf8Init, open("<a>\xC3\xA9\xF0\x9F\x98\x80</a>\r\n\xC3\xA9"), insert(2, 0, 9, "BAD"),
      insert(3, 0, 0, "BAD"), insert(4, 1, 2, "BAD"), "check"},
     {"#1 ok utf-8",
      "publish config.xml v4: unknown-element@0:0 unknown-element@0:12 unknown-element@1:2"}},
    {"a save in the folder, or a watched file changed, checks again",
     {kInit, open("BAD"), "check", notify("textDocument/didSave", "file:///pkg/kvsetup.cif"),
      "check", notify("textDocument/didSave", "file:///elsewhere/kvsetup.cif"), "check",
      R"({"jsonrpc":"2.0","method":"workspace/didChangeWatchedFiles","params":{"changes":[{"uri":"file:///pkg/kv-setup_o.cmd","type":2}]}})",
      "check", "state"},
     {"#1 ok utf-16", "publish config.xml v1: unknown-element@0:0",
      "publish config.xml v1: unknown-element@0:0", "publish config.xml v1: unknown-element@0:0",
      "3 checks"}},
    {"a closed document's diagnostics are withdrawn; other files are not checked",
     {kInit, open("BAD"), "check", notify("textDocument/didClose", kUri),
      notify("textDocument/didOpen", "file:///pkg/kvsetup.cif"), "check", "state"},
     {"#1 ok utf-16", "publish config.xml v1: unknown-element@0:0",
      "publish config.xml:", "1 checks"}},
    {"file watching registered when the client lets a server ask",
     {R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{"workspace":{"didChangeWatchedFiles":{"dynamicRegistration":true}}}}})",
      kInitialized},
     {"#1 ok utf-16", "request client/registerCapability"}},
};

class Protocol : public testing::TestWithParam<ProtocolCase> {};

TEST_P(Protocol, AnswersInOrder) {
  const ProtocolCase& c = GetParam();
  std::vector<std::string> read;
  Session session;
  session.auditor = badFinder(read);
  std::vector<std::string> out;
  for (const std::string& line : c.script) {
    std::vector<Json> messages;
    if (line == "check") {
      messages = check::lsp::checkPending(session);
    } else if (line == "state") {
      out.push_back(std::string(session.shutdown ? "shutdown " : "") +
                    (session.exited ? "exited " : "") + std::to_string(session.checks) + " checks");
    } else {
      messages = check::lsp::handleMessage(session, Json::parse(line));
    }
    for (const Json& m : messages) out.push_back(summary(m));
  }
  EXPECT_EQ(out, c.out);
}

INSTANTIATE_TEST_SUITE_P(Messages, Protocol, testing::ValuesIn(kProtocolCases));

TEST(Protocol, UrisOfPathsAndBack) {
  const std::u16string path = (fs::temp_directory_path() / u"d\u00e9j\u00e0 vu#1" / u"config.xml")
                                  .make_preferred()
                                  .u16string();
  const std::string uri = check::fileUri(path);
  EXPECT_EQ(uri.find_first_of(" #"), std::string::npos) << uri;
  EXPECT_EQ(check::lsp::uriPath(uri), path);
  EXPECT_EQ(check::lsp::uriPath("https://host/config.xml"), u"");
  EXPECT_EQ(check::lsp::uriPath("file:///C:/a%20b"),
            fs::path(u"C:/a b").make_preferred().u16string());
}

// The server as a process: what it is sent is answered, a document opened
// is checked at once, and the end of its input, without an exit, ends it
// with status 1.
TEST(LanguageServer, AnswersUntilItsInputEnds) {
  const TempDir dir;
  const std::string uri = check::fileUri((dir / "config.xml").u16string());
  const std::string input =
      check::lsp::frame(Json::parse(kInit)) +
      check::lsp::frame(Json::parse(open("<config><binnary/></config>", uri)));
  const auto run = testing_support::runCaptured(
      {testing_support::builtProgram("pkgcustomize-check"), "--lsp"}, dir.path(), input.c_str());
  EXPECT_EQ(run.status, 1);
  for (const char* said : {"\"serverInfo\"", "\"unused-entry\"", "1 check(s)"}) {
    EXPECT_NE(run.output.find(said), std::string::npos) << run.output;
  }
}

// The example of common mistakes in the encoding of one case.
struct FolderCase {
  const char* what;
  std::string declared;  // the encoding its declaration names
  std::string (*encode)(const std::u16string& text);
};

const FolderCase kFolderCases[] = {
    {"UTF-8", "UTF-8", [](const std::u16string& text) { return platform::toUtf8(text); }},
    {"windows-1252", "windows-1252", check_support::asLatin1},
    {"UTF-16 with a byte-order mark", "UTF-16", check_support::asUtf16le},
};

// `text` with LSP edits (UTF-16 positions) made, the last first.
std::string applied(const std::string& text, Json edits) {
  std::u16string wide = platform::fromUtf8(text);
  std::vector<std::size_t> starts{0};
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == u'\n' || (wide[i] == u'\r' && (i + 1 == wide.size() || wide[i + 1] != u'\n'))) {
      starts.push_back(i + 1);
    }
  }
  const auto offset = [&starts](const Json& at) {
    return starts.at(at["line"].get<std::size_t>()) + at["character"].get<std::size_t>();
  };
  std::vector<Json> list(edits.begin(), edits.end());
  std::stable_sort(list.begin(), list.end(), [&](const Json& a, const Json& b) {
    return offset(a["range"]["start"]) > offset(b["range"]["start"]);
  });
  for (const Json& e : list) {
    const std::size_t start = offset(e["range"]["start"]);
    wide.replace(start, offset(e["range"]["end"]) - start,
                 platform::fromUtf8(e["newText"].get<std::string>()));
  }
  return platform::toUtf8(wide);
}

class Folder : public testing::TestWithParam<FolderCase> {};

TEST_P(Folder, DiagnosticsAreTheAuditsFindingsAndFixesWriteWhatFixWrites) {
  const FolderCase& c = GetParam();
  const TempDir dir;
  const fs::path example = fs::path(PKGCUSTOMIZE_SOURCE_DIR) / "examples" / "common-mistakes";
  for (const auto& entry : fs::directory_iterator(example)) {
    fs::copy_file(entry.path(), dir / entry.path().filename());
  }
  std::string source = testing_support::readFile(example / "config.xml");
  source.replace(source.find("UTF-8"), 5, c.declared);
  source.replace(source.find("An editor"), 9,
                 "An \xC3\xA9"
                 "ditor");  // a line of its own
  const std::string bytes = c.encode(platform::fromUtf8(source));
  testing_support::writeFile(dir / "config.xml", bytes);
  testing_support::writeFile(dir / ".pkgcustomize-Ab12Cd",
                             "");  // a leftover, which fix all removes

  // What the command line finds about config.xml, as LSP positions.
  std::vector<std::string> expected;
  const Json report = check_support::checkJson({u"--all", dir.path().u16string()});
  for (const Json& f : report["findings"]) {
    if (f["file"] != "config.xml") continue;
    expected.push_back(f["rule"].get<std::string>() + "@" +
                       std::to_string(f["line"].get<int>() - 1) + ":" +
                       std::to_string(f["column"].get<int>() - 1));
  }

  Session session;
  session.auditor = check::lsp::auditBuffer;
  const std::string uri = check::fileUri((dir / "config.xml").u16string());
  const std::string text = check::readableText(bytes);
  check::lsp::handleMessage(
      session,
      Json::parse(
          R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{"workspace":{"workspaceEdit":{"documentChanges":true,"resourceOperations":["delete"]}}}}})"));
  check::lsp::handleMessage(
      session, {{"jsonrpc", "2.0"},
                {"method", "textDocument/didOpen"},
                {"params", {{"textDocument", {{"uri", uri}, {"version", 1}, {"text", text}}}}}});
  std::vector<std::string> published;
  std::vector<std::string> otherFiles;
  for (const Json& m : check::lsp::checkPending(session)) {
    if (m["params"]["uri"] != uri) {
      otherFiles.push_back(fs::path(m["params"]["uri"].get<std::string>()).filename().string());
      continue;
    }
    for (const Json& d : m["params"]["diagnostics"]) {
      published.push_back(d["code"].get<std::string>() + "@" + d["range"]["start"]["line"].dump() +
                          ":" + d["range"]["start"]["character"].dump());
    }
  }
  EXPECT_EQ(published, expected);
  EXPECT_EQ(otherFiles, (std::vector<std::string>{".pkgcustomize-Ab12Cd", "kv-setup_o.cmd"}));

  // Each quick fix, as the fix of its finding alone; then all of them, as --fix.
  const check::Audit audit = check::lsp::auditBuffer(dir.path().u16string(), bytes);
  std::vector<const check::Finding*> fixable;
  for (const check::Finding& f : audit.findings) {
    if (f.fix && !check::removesFile(*f.fix)) fixable.push_back(&f);
  }
  const std::vector<Json> answer =
      check::lsp::handleMessage(session, Json::parse(request(2, "textDocument/codeAction", uri)));
  ASSERT_EQ(answer.size(), 1u);
  const Json actions = answer[0]["result"];
  ASSERT_GT(actions.size(), fixable.size() + 1);
  for (std::size_t i = 0; i < fixable.size(); ++i) {
    const Json& change = actions[i]["edit"]["documentChanges"][0];
    EXPECT_EQ(change["textDocument"]["version"], 1);
    EXPECT_EQ(applied(text, change["edits"]),
              check::readableText(check::applyFixes(bytes, {*fixable[i]}).bytes))
        << actions[i]["title"];
  }
  const Json& fixAll = actions[fixable.size()];
  EXPECT_EQ(fixAll["kind"], "source.fixAll");
  EXPECT_EQ(fixAll["edit"]["documentChanges"].back(),
            (Json{{"kind", "delete"},
                  {"uri", check::fileUri((dir / ".pkgcustomize-Ab12Cd").u16string())}}));
  const std::string all = applied(text, fixAll["edit"]["documentChanges"][0]["edits"]);
  check_support::runCheck({u"--all", u"--fix", dir.path().u16string()});
  testing_support::writeFile(dir / ".pkgcustomize-Ab12Cd", "");  // which --fix removed
  EXPECT_EQ(all, check::readableText(testing_support::readFile(dir / "config.xml")));

  // Then each "ignore RULE for this entry": that rule's findings about the
  // entry are suppressed, and nothing else changes.
  for (std::size_t i = fixable.size() + 1; i < actions.size(); ++i) {
    const std::string title = actions[i]["title"];
    const std::string ignored = applied(text, actions[i]["edit"]["documentChanges"][0]["edits"]);
    const check::Audit after =
        check::lsp::auditBuffer(dir.path().u16string(), c.encode(platform::fromUtf8(ignored)));
    ASSERT_FALSE(after.suppressed.empty()) << title;
    const std::string comment = actions[i]["edit"]["documentChanges"][0]["edits"][0]["newText"];
    EXPECT_TRUE(comment.ends_with(" -->\n")) << title;  // a line of its own
    EXPECT_EQ(after.findings.size() + after.suppressed.size(), audit.findings.size()) << title;
    for (const check::Finding& f : after.suppressed) {
      EXPECT_EQ("Ignore " + std::string(check::rule(f.rule).name) + " for this entry", title);
    }
  }

  // The first entry's verdict, on hover.
  const std::vector<Json> hover = check::lsp::handleMessage(
      session,
      Json::parse(
          R"({"jsonrpc":"2.0","id":3,"method":"textDocument/hover","params":{"textDocument":{"uri":")" +
          uri + R"("},"position":{"line":10,"character":6}}})"));
  const std::string shown = hover.back()["result"]["contents"]["value"];
  EXPECT_NE(shown.find("TR0107"), std::string::npos) << shown;
  EXPECT_NE(shown.find("complete"), std::string::npos) << shown;
}

INSTANTIATE_TEST_SUITE_P(Encodings, Folder, testing::ValuesIn(kFolderCases));

}  // namespace
