#include "check/lsp/session.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "check/lint/config_fix.h"
#include "check/lint/config_lint.h"
#include "check/lint/fix_run.h"
#include "check/report/report.h"
#include "check/report/unified_diff.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/xml_text.h"

namespace check::lsp {

namespace {

namespace fs = std::filesystem;

const char kSource[] = "pkgcustomize-check";

Json errorResponse(const Json& id, int code, const std::string& message) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

Json response(const Json& id, Json result) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}};
}

Json notification(const std::string& method, Json params) {
  return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

bool isConfigFile(const std::u16string& path) {
  return !path.empty() &&
         platform::asciiLowered(fs::path(path).filename().u16string()) == kConfigFile;
}

// `text` split into lines at CR LF, LF or CR, as the protocol counts them.
std::vector<std::u16string> linesOf(const std::string& text) {
  std::vector<std::u16string> lines;
  const std::u16string wide = platform::fromUtf8(text);
  std::size_t start = 0;
  for (std::size_t i = 0; i <= wide.size(); ++i) {
    if (i < wide.size() && wide[i] != u'\n' && wide[i] != u'\r') continue;
    lines.push_back(wide.substr(start, i - start));
    if (i + 1 < wide.size() && wide[i] == u'\r' && wide[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  return lines;
}

// How many UTF-8 bytes the first `units` code units of `line` take.
long utf8Length(const std::u16string& line, long units) {
  const std::size_t n = std::min<std::size_t>(line.size(), static_cast<std::size_t>(units));
  return static_cast<long>(platform::toUtf8(std::u16string_view(line).substr(0, n)).size());
}

// A place of the check (lines and UTF-16 columns from 1) as an LSP position.
Json lspPosition(const Session& session, const Document& doc, Position at) {
  const long line = std::max(0L, at.line - 1);
  long character = std::max(0L, at.column - 1);
  if (session.utf8 && static_cast<std::size_t>(line) < doc.lines.size()) {
    character = utf8Length(doc.lines[static_cast<std::size_t>(line)], character);
  }
  return {{"line", line}, {"character", character}};
}

// The byte offset in UTF-8 `text` of an LSP position.
std::size_t offsetOf(const Session& session, const std::string& text, const Json& position) {
  long line = position.value("line", 0L);
  const long character = position.value("character", 0L);
  std::size_t at = 0;
  while (line > 0 && at < text.size()) {
    const std::size_t brk = text.find_first_of("\r\n", at);
    if (brk == std::string::npos) return text.size();
    at = brk + (text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n' ? 2 : 1);
    --line;
  }
  std::size_t end = text.find_first_of("\r\n", at);
  if (end == std::string::npos) end = text.size();
  if (session.utf8) return std::min(end, at + static_cast<std::size_t>(std::max(0L, character)));
  const std::u16string wide = platform::fromUtf8(std::string_view(text).substr(at, end - at));
  const std::size_t units = std::min<std::size_t>(wide.size(), std::max(0L, character));
  return at + platform::toUtf8(std::u16string_view(wide).substr(0, units)).size();
}

bool startsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

// The client's UTF-8 text in the encoding of config.xml as it is on disk, so
// that the check reads what saving the buffer would write.
std::string fileBytes(const Document& doc) {
  const std::optional<std::string> disk =
      platform::readFileBytes((fs::path(doc.folder) / kConfigFile).u16string());
  using platform::TextEncoding;
  const std::optional<platform::XmlText> source =
      disk ? platform::decodeXmlText(*disk) : std::optional<platform::XmlText>();
  if (!source || source->encoding == TextEncoding::Utf8) {
    return (disk && startsWith(*disk, "\xEF\xBB\xBF") ? "\xEF\xBB\xBF" : "") + doc.text;
  }
  std::u16string wide = platform::fromUtf8(doc.text);
  std::optional<std::string> bytes = platform::encodeXmlText(source->encoding, wide);
  if (!bytes) {
    // A character the file's encoding lacks is saved as "?" by most editors.
    for (char16_t& unit : wide) {
      if (!platform::encodeXmlText(source->encoding, std::u16string_view(&unit, 1))) unit = u'?';
    }
    bytes = platform::encodeXmlText(source->encoding, wide);
  }
  const char* mark = source->encoding == TextEncoding::Utf16Le ? "\xFF\xFE" : "\xFE\xFF";
  const bool marked = startsWith(*disk, "\xFF\xFE") || startsWith(*disk, "\xFE\xFF");
  return (marked ? mark : "") + bytes.value_or("");
}

// The URI a finding is about: the document's own, or another file of its folder.
std::string findingUri(const std::string& uri, const Document& doc, const Finding& f) {
  if (f.file == kConfigFile) return uri;
  return fileUri((fs::path(doc.folder) / f.file).u16string());
}

Json diagnosticOf(const Session& session, const Document& doc, const Finding& f) {
  const Rule& r = rule(f.rule);
  Json start = {{"line", 0}, {"character", 0}};
  Json end = start;
  if (f.file == kConfigFile && f.position.line > 0) {
    start = lspPosition(session, doc, f.position);
    const std::size_t line = static_cast<std::size_t>(f.position.line - 1);
    const long width = line < doc.lines.size() ? static_cast<long>(doc.lines[line].size()) : 0;
    end = lspPosition(session, doc, {f.position.line, std::max(f.position.column, width + 1)});
  }
  return {{"range", {{"start", start}, {"end", end}}},
          {"severity", r.severity == Severity::Error ? 1 : 2},
          {"code", r.name},
          {"codeDescription", {{"href", ruleLink(r)}}},
          {"source", kSource},
          {"message", utf8(f.message)}};
}

void check(Session& session, const std::string& uri, Document& doc, std::vector<Json>& out) {
  doc.bytes = fileBytes(doc);
  doc.audit = session.auditor(doc.folder, doc.bytes);
  ++session.checks;
  doc.lines = linesOf(doc.text);
  doc.entries.clear();
  for (const AuditRow& row : doc.audit.rows) doc.entries.emplace(row.code, row.position);
  doc.checkedVersion = doc.version;
  doc.dirty = false;
  std::map<std::string, Json> byUri{{uri, Json::array()}};
  for (const Finding& f : doc.audit.findings) {
    byUri[findingUri(uri, doc, f)].push_back(diagnosticOf(session, doc, f));
  }
  for (const std::string& old : doc.published) byUri.emplace(old, Json::array());
  doc.published.clear();
  for (auto& [target, diagnostics] : byUri) {
    Json params = {{"uri", target}, {"diagnostics", diagnostics}};
    if (target == uri) params["version"] = doc.version;
    if (target != uri && !diagnostics.empty()) doc.published.insert(target);
    out.push_back(notification("textDocument/publishDiagnostics", std::move(params)));
  }
}

void withdraw(const std::string& uri, const Document& doc, std::vector<Json>& out) {
  Json uris = Json::array({uri});
  for (const std::string& other : doc.published) uris.push_back(other);
  for (const Json& target : uris) {
    out.push_back(notification("textDocument/publishDiagnostics",
                               {{"uri", target}, {"diagnostics", Json::array()}}));
  }
}

Json initializeResult(Session& session, const Json& params) {
  const Json capabilities = params.value("capabilities", Json::object());
  const Json encodings =
      capabilities.value("general", Json::object()).value("positionEncodings", Json::array());
  session.utf8 = std::find(encodings.begin(), encodings.end(), "utf-8") != encodings.end();
  const Json edit =
      capabilities.value("workspace", Json::object()).value("workspaceEdit", Json::object());
  session.documentChanges = edit.value("documentChanges", false);
  session.watchRegistration = capabilities.value("workspace", Json::object())
                                  .value("didChangeWatchedFiles", Json::object())
                                  .value("dynamicRegistration", false);
  const Json operations = edit.value("resourceOperations", Json::array());
  session.deleteFiles = session.documentChanges && std::find(operations.begin(), operations.end(),
                                                             "delete") != operations.end();
  return {{"capabilities",
           {{"positionEncoding", session.utf8 ? "utf-8" : "utf-16"},
            {"textDocumentSync",
             {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
            {"codeActionProvider", {{"codeActionKinds", {"quickfix", "source.fixAll"}}}},
            {"hoverProvider", true}}},
          {"serverInfo", {{"name", kSource}, {"version", PKGCUSTOMIZE_VERSION}}}};
}

// After `initialized`: the watch on the folders' files, where the client
// lets a server register it.
void watchFiles(Session& session, std::vector<Json>& out) {
  if (!session.watchRegistration) return;
  out.push_back({{"jsonrpc", "2.0"},
                 {"id", session.nextRequestId++},
                 {"method", "client/registerCapability"},
                 {"params",
                  {{"registrations",
                    {{{"id", "pkgcustomize-check-files"},
                      {"method", "workspace/didChangeWatchedFiles"},
                      {"registerOptions", {{"watchers", {{{"globPattern", "**/*"}}}}}}}}}}}});
}

void applyChange(const Session& session, Document& doc, const Json& change) {
  const std::string text = change.value("text", "");
  if (!change.contains("range")) {
    doc.text = text;
    return;
  }
  const Json& range = change["range"];
  const std::size_t start = offsetOf(session, doc.text, range.value("start", Json::object()));
  const std::size_t end =
      std::max(start, offsetOf(session, doc.text, range.value("end", Json::object())));
  doc.text.replace(start, end - start, text);
}

// The open config.xml a URI is about: itself, or another file of its folder.
std::pair<const std::string, Document>* owner(Session& session, const std::string& uri) {
  const auto found = session.documents.find(uri);
  if (found != session.documents.end()) return &*found;
  const fs::path folder = fs::path(uriPath(uri)).parent_path();
  for (auto& entry : session.documents) {
    if (fs::path(entry.second.folder) == folder) return &entry;
  }
  return nullptr;
}

// The document of a request, checked if it changed since its last check.
Document* checkedDocument(Session& session, const std::string& uri, std::vector<Json>& out) {
  const auto found = session.documents.find(uri);
  if (found == session.documents.end()) return nullptr;
  if (found->second.dirty) check(session, found->first, found->second, out);
  return &found->second;
}

Json lspEdit(const Session& session, const Document& doc, const TextEdit& e) {
  return {
      {"range",
       {{"start", lspPosition(session, doc, e.start)}, {"end", lspPosition(session, doc, e.end)}}},
      {"newText", utf8(e.text)}};
}

// A WorkspaceEdit of `edits` in `doc` (whose URI is `uri`) and of the file
// deletions `deletions`, in the shape the client takes.
Json workspaceEdit(const Session& session, const std::string& uri, const Document& doc, Json edits,
                   Json deletions = Json::array()) {
  if (!session.documentChanges) return {{"changes", {{uri, edits}}}};
  Json changes = Json::array();
  if (!edits.empty()) {
    changes.push_back(
        {{"textDocument", {{"uri", uri}, {"version", doc.checkedVersion}}}, {"edits", edits}});
  }
  for (Json& d : deletions) changes.push_back(std::move(d));
  return {{"documentChanges", changes}};
}

// The WorkspaceEdit that makes the fixes of `findings`, and removes the
// leftovers among them where the client can.
Json fixesEdit(const Session& session, const std::string& uri, const Document& doc,
               const std::vector<const Finding*>& findings) {
  Json edits = Json::array();
  Json deletions = Json::array();
  for (const Finding* f : findings) {
    if (removesFile(*f->fix)) {
      deletions.push_back({{"kind", "delete"}, {"uri", findingUri(uri, doc, *f)}});
      continue;
    }
    for (const TextEdit& e : editsOf(*f->fix)) edits.push_back(lspEdit(session, doc, e));
  }
  return workspaceEdit(session, uri, doc, std::move(edits), std::move(deletions));
}

// True when the client can make `f`'s fix.
bool offered(const Session& session, const Finding& f) {
  return f.fix && (removesFile(*f.fix) ? session.deleteFiles
                                       : f.file == kConfigFile && !editsOf(*f.fix).empty());
}

bool wanted(const Json& only, const std::string& kind) {
  if (only.empty()) return true;
  for (const Json& k : only) {
    const std::string prefix = k.is_string() ? k.get<std::string>() : "";
    if (kind == prefix || kind.starts_with(prefix + ".")) return true;
  }
  return false;
}

// Where the entry that `f` is about begins; unknown when it is about none
// (or about another file, which a comment in config.xml cannot silence).
// Only the first entry of a code is read, so only its values have findings.
Position entryOf(const Document& doc, const Finding& f) {
  if (f.file != kConfigFile || f.code.empty()) return {};
  if (f.element == u"binary") return f.position;  // an entry itself, a duplicate one too
  const auto found = doc.entries.find(f.code);
  return found == doc.entries.end() || f.position < found->second ? Position{} : found->second;
}

// The action that writes a suppression of `f`'s rule just before its entry,
// which begins at `entry`: a line of its own with the entry's indentation
// when the entry begins its line.
Json ignoreAction(const Session& session, const std::string& uri, const Document& doc,
                  const Finding& f, Position entry) {
  const std::string comment =
      "<!-- pkgcustomize-check: ignore " + std::string(rule(f.rule).name) + " -->";
  const std::u16string& line = doc.lines[static_cast<std::size_t>(entry.line - 1)];
  const std::size_t indent = line.find_first_not_of(u" \t");
  std::string text = comment;
  if (indent + 1 == static_cast<std::size_t>(entry.column)) {
    text = utf8(line.substr(0, indent)) + comment +
           (doc.text.find("\r\n") != std::string::npos ? "\r\n" : "\n");
    entry.column = 1;
  }
  const Json at = lspPosition(session, doc, entry);
  const Json edit = {{"range", {{"start", at}, {"end", at}}}, {"newText", text}};
  return {{"title", "Ignore " + std::string(rule(f.rule).name) + " for this entry"},
          {"kind", "quickfix"},
          {"diagnostics", {diagnosticOf(session, doc, f)}},
          {"edit", workspaceEdit(session, uri, doc, Json::array({edit}))}};
}

Json codeActions(Session& session, const Json& params, std::vector<Json>& out) {
  const std::string asked = params["textDocument"].value("uri", "");
  const auto* found = owner(session, asked);
  Json actions = Json::array();
  if (found == nullptr) return actions;
  const std::string& uri = found->first;
  const Document* doc = checkedDocument(session, uri, out);
  if (doc == nullptr) return actions;
  const Json range = params.value("range", Json::object());
  const long first = range.value("start", Json::object()).value("line", 0L);
  const long last = range.value("end", Json::object()).value("line", first);
  const Json only = params.value("context", Json::object()).value("only", Json::array());
  std::vector<const Finding*> all;
  Json ignores = Json::array();  // offered after the fixes
  for (const Finding& f : doc->audit.findings) {
    const Position entry = entryOf(*doc, f);
    const long at = f.position.line - 1;
    if (entry.line > 0 && asked == uri && at >= first && at <= last && wanted(only, "quickfix")) {
      ignores.push_back(ignoreAction(session, uri, *doc, f, entry));
    }
    if (!offered(session, f)) continue;
    all.push_back(&f);
    if (findingUri(uri, *doc, f) != asked || !wanted(only, "quickfix")) continue;
    const long line = f.position.line - 1;
    if (f.file == kConfigFile && (line < first || line > last)) continue;
    actions.push_back({{"title", utf8(f.fix->description)},
                       {"kind", "quickfix"},
                       {"diagnostics", {diagnosticOf(session, *doc, f)}},
                       {"edit", fixesEdit(session, uri, *doc, {&f})}});
  }
  if (!all.empty() && asked == uri && wanted(only, "source.fixAll")) {
    // As --fix makes them: a fix that overlaps one made before it waits.
    const AppliedFixes applied = applyFixes(doc->bytes, doc->audit.findings, kConfigFile);
    std::vector<const Finding*> made;
    for (const Finding& f : applied.made) made.push_back(&f);
    for (const Finding* f : all) {
      if (removesFile(*f->fix)) made.push_back(f);
    }
    actions.push_back({{"title", "Fix all certain mistakes of config.xml"},
                       {"kind", "source.fixAll"},
                       {"edit", fixesEdit(session, uri, *doc, made)}});
  }
  for (Json& action : ignores) actions.push_back(std::move(action));
  return actions;
}

// What a run of the entry at `line` would do, as text for a hover.
std::string entryHover(const Audit& audit, long line) {
  const AuditRow* entry = nullptr;
  for (const AuditRow& row : audit.rows) {
    if (row.position.line - 1 <= line) entry = &row;
  }
  if (entry == nullptr) return {};
  std::string text = "**" + utf8(entry->code) + "**\n\n";
  std::string diffs;
  for (const AuditRow& row : audit.rows) {
    if (row.code != entry->code || row.position.line != entry->position.line) continue;
    text += "- `" + utf8(row.launcherName) +
            "`: " + (row.complete ? "complete" : "incomplete: " + utf8(row.cause)) + "\n";
    for (const FileChange& change : row.changes) {
      diffs += unifiedDiff(readableText(change.before.value_or("")), readableText(change.after),
                           utf8(change.name), change.before.has_value());
    }
  }
  if (!diffs.empty()) text += "\n```diff\n" + diffs + "```\n";
  return text;
}

Json hover(Session& session, const Json& params, std::vector<Json>& out) {
  const std::string uri = params["textDocument"].value("uri", "");
  const Document* doc = checkedDocument(session, uri, out);
  if (doc == nullptr) return nullptr;
  const long line = params.value("position", Json::object()).value("line", 0L);
  std::string text;
  for (const Finding& f : doc->audit.findings) {
    if (f.file != kConfigFile || f.position.line - 1 != line) continue;
    const Rule& r = rule(f.rule);
    text += "`" + std::string(r.name) + "` (" + severityName(r.severity) + "): " + r.summary +
            " — [docs/rules.md](" + ruleLink(r) + ")\n\n";
  }
  text += entryHover(doc->audit, line);
  if (text.empty()) return nullptr;
  return {{"contents", {{"kind", "markdown"}, {"value", text}}}};
}

// Marks each open config.xml whose folder holds `path` for checking.
void touchFolderOf(Session& session, const std::u16string& path) {
  const fs::path folder = fs::path(path).parent_path();
  for (auto& [uri, doc] : session.documents) {
    if (fs::path(doc.folder) == folder) doc.dirty = true;
  }
}

void notified(Session& session, const std::string& method, const Json& params,
              std::vector<Json>& out) {
  const Json document = params.value("textDocument", Json::object());
  const std::string uri = document.value("uri", "");
  if (method == "textDocument/didOpen") {
    const std::u16string path = uriPath(uri);
    if (!isConfigFile(path)) return;
    Document& doc = session.documents[uri];
    doc = Document{};
    doc.folder = fs::path(path).parent_path().u16string();
    doc.text = document.value("text", "");
    doc.version = document.value("version", 0L);
  } else if (method == "textDocument/didChange") {
    const auto found = session.documents.find(uri);
    if (found == session.documents.end()) return;
    Document& doc = found->second;
    const long version = document.value("version", doc.version + 1);
    if (version <= doc.version) return;  // older than what is held
    for (const Json& change : params.value("contentChanges", Json::array())) {
      applyChange(session, doc, change);
    }
    doc.version = version;
    doc.dirty = true;
  } else if (method == "textDocument/didSave") {
    touchFolderOf(session, uriPath(uri));
  } else if (method == "textDocument/didClose") {
    const auto found = session.documents.find(uri);
    if (found == session.documents.end()) return;
    withdraw(uri, found->second, out);
    session.documents.erase(found);
  } else if (method == "workspace/didChangeWatchedFiles") {
    for (const Json& change : params.value("changes", Json::array())) {
      touchFolderOf(session, uriPath(change.value("uri", "")));
    }
  }
}

// The answer to the request `method` with `id`, after what goes out first.
std::vector<Json> answered(Session& session, const Json& id, const std::string& method,
                           const Json& params) {
  std::vector<Json> out;
  if (session.shutdown) return {errorResponse(id, kInvalidRequest, "the server is shut down")};
  if (method == "initialize") {
    if (session.initialized) return {errorResponse(id, kInvalidRequest, "already initialized")};
    session.initialized = true;
    out.push_back(response(id, initializeResult(session, params.is_object() ? params : Json())));
    return out;
  }
  if (!session.initialized) {
    return {errorResponse(id, kServerNotInitialized, "initialize comes first")};
  }
  if (method == "shutdown") {
    session.shutdown = true;
    return {response(id, nullptr)};
  }
  const bool documentRequest =
      method == "textDocument/codeAction" || method == "textDocument/hover";
  if (documentRequest && (!params.is_object() || !params.contains("textDocument") ||
                          !params["textDocument"].is_object())) {
    return {errorResponse(id, kInvalidParams, "no textDocument")};
  }
  if (method == "textDocument/codeAction") {
    Json result = codeActions(session, params, out);
    out.push_back(response(id, std::move(result)));
    return out;
  }
  if (method == "textDocument/hover") {
    Json result = hover(session, params, out);
    out.push_back(response(id, std::move(result)));
    return out;
  }
  return {errorResponse(id, kMethodNotFound, "unknown method " + method)};
}

}  // namespace

Json parseError(const std::string& why) {
  return errorResponse(nullptr, kParseError, why);
}

std::vector<Json> handleMessage(Session& session, const Json& message) {
  std::vector<Json> out;
  if (!message.is_object()) return {errorResponse(nullptr, kInvalidRequest, "not a message")};
  const Json id = message.contains("id") ? message["id"] : Json();
  const bool isRequest = message.contains("id");
  if (!message.contains("method")) {
    // A response to a request of ours, or nothing valid.
    if (isRequest && (message.contains("result") || message.contains("error"))) return out;
    return {errorResponse(id, kInvalidRequest, "neither a request nor a notification")};
  }
  if (!message["method"].is_string() || (isRequest && !id.is_string() && !id.is_number_integer())) {
    return {errorResponse(isRequest && (id.is_string() || id.is_number_integer()) ? id : Json(),
                          kInvalidRequest, "a malformed request")};
  }
  const std::string method = message["method"];
  const Json params = message.value("params", Json::object());
  if (method == "exit") {
    session.exited = true;
    return out;
  }
  if (!isRequest) {
    if (!session.initialized || session.shutdown) return out;
    if (method == "initialized") {
      watchFiles(session, out);
      return out;
    }
    if (params.is_object()) notified(session, method, params, out);
    return out;
  }
  return answered(session, id, method, params);
}

bool hasPending(const Session& session) {
  return std::any_of(session.documents.begin(), session.documents.end(),
                     [](const auto& entry) { return entry.second.dirty; });
}

std::vector<Json> checkPending(Session& session) {
  std::vector<Json> out;
  for (auto& [uri, doc] : session.documents) {
    if (doc.dirty) check(session, uri, doc, out);
  }
  return out;
}

std::u16string uriPath(std::string_view uri) {
  if (!uri.starts_with("file://")) return {};
  uri.remove_prefix(7);
  const std::size_t slash = uri.find('/');
  if (slash == std::string_view::npos) return {};
  uri.remove_prefix(slash);  // an authority, localhost or empty, is dropped
  std::string path;
  for (std::size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
      path += static_cast<char>(std::stoi(std::string(uri.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      path += uri[i];
    }
  }
  // "/C:/folder" on Windows is "C:/folder".
  if (path.size() > 2 && path[0] == '/' && path[2] == ':' &&
      std::isalpha(static_cast<unsigned char>(path[1]))) {
    path.erase(0, 1);
  }
  return fs::path(platform::fromUtf8(path)).make_preferred().u16string();
}

std::string ruleLink(const Rule& rule) {
  return "https://pkgcustomize.invalid/docs/rules.md#" + std::string(rule.name) + "-" +
         severityName(rule.severity);
}

}  // namespace check::lsp
