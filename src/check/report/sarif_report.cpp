#include "check/report/sarif_report.h"

#include <algorithm>
#include <cstdint>

#include "check/report/json_report.h"

namespace check {

namespace {

using json = nlohmann::ordered_json;

// The folder findings' files are relative to.
const char kBase[] = "PACKAGE";

// SARIF's messages are sentences.
json message(std::string text) {
  if (!text.empty() && text.back() != '.' && text.back() != '?' && text.back() != '!') text += '.';
  return {{"text", text}};
}

// "wrapped-value" as "WrappedValue", the form SARIF gives rule names.
std::string pascalCase(const std::string& id) {
  std::string name;
  bool upper = true;
  for (const char c : id) {
    if (c == '-') {
      upper = true;
    } else {
      name += upper ? static_cast<char>(c - 'a' + 'A') : c;
      upper = false;
    }
  }
  return name;
}

json rules() {
  json out = json::array();
  for (const Rule& r : allRules()) {
    out.push_back({{"id", r.name},
                   {"name", pascalCase(r.name)},
                   {"shortDescription", message(r.summary)},
                   {"fullDescription", message(r.description)},
                   {"help", message(r.help)},
                   {"defaultConfiguration", {{"level", severityName(r.severity)}}}});
  }
  return out;
}

// The folder as a file URI ending in "/", for originalUriBaseIds.
std::string folderUri(const std::u16string& folder) {
  std::string uri = fileUri(folder);
  return uri.ends_with('/') ? uri : uri + "/";
}

// Base64, as SARIF carries bytes.
std::string base64(const std::string& bytes) {
  const char* const digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group = group << 8 | (i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= (bytes.size() - i) ? digits[(group >> (18 - 6 * k)) & 63] : '=';
    }
  }
  return out;
}

// A fix as edits of the finding's file: byte ranges of the file as it is,
// and the bytes that replace them in its own encoding. SARIF cannot say
// that a file is removed.
json fixes(const Finding& f) {
  if (!f.fix || editsOf(*f.fix).empty()) return json();
  json replacements = json::array();
  for (const TextEdit& e : editsOf(*f.fix)) {
    json replacement = {{"deletedRegion", {{"byteOffset", e.offset}, {"byteLength", e.length}}}};
    if (!e.bytes.empty()) {
      replacement["insertedContent"] = {{"text", utf8(e.text)}, {"binary", base64(e.bytes)}};
    }
    replacements.push_back(replacement);
  }
  return json::array(
      {{{"description", message(utf8(f.fix->description))},
        {"artifactChanges",
         json::array({{{"artifactLocation", {{"uri", utf8(f.file)}, {"uriBaseId", kBase}}},
                       {"replacements", replacements}}})}}});
}

json result(const Finding& f) {
  json out = {{"ruleId", rule(f.rule).name},
              {"ruleIndex", static_cast<int>(f.rule)},
              {"level", severityName(severityOf(f))},
              {"message", message(utf8(f.message))}};
  if (f.file.empty()) return out;
  // A finding about a file as a whole (a missing text, a missing file) is
  // placed at its first line, as SARIF's viewers expect a region.
  json location = {{"artifactLocation", {{"uri", utf8(f.file)}, {"uriBaseId", kBase}}},
                   {"region", {{"startLine", std::max(f.position.line, 1L)}}}};
  if (f.position.column > 0) location["region"]["startColumn"] = f.position.column;
  out["locations"] = json::array({{{"physicalLocation", location}}});
  if (json fix = fixes(f); !fix.is_null()) out["fixes"] = std::move(fix);
  return out;
}

}  // namespace

json sarifRun(const ReportContext& context, const std::vector<Finding>& findings,
              const std::vector<Finding>& suppressed) {
  json results = json::array();
  for (const Finding& f : findings) results.push_back(result(f));
  for (const Finding& f : suppressed) {
    json kept = result(f);
    kept["suppressions"] = json::array({{{"kind", "inSource"}}});
    results.push_back(std::move(kept));
  }
  return {
      {"tool",
       {{"driver",
         {{"name", "pkgcustomize-check"}, {"version", PKGCUSTOMIZE_VERSION}, {"rules", rules()}}}}},
      {"originalUriBaseIds", {{kBase, {{"uri", folderUri(context.folder)}}}}},
      {"columnKind", "utf16CodeUnits"},
      {"results", results}};
}

namespace {

// The base of the folder's results when several folders share one run: the
// first "PACKAGE1", the next "PACKAGE2", and so on.
void rebase(json& node, const std::string& base) {
  if (node.is_object()) {
    if (node.contains("uriBaseId")) node["uriBaseId"] = base;
    for (auto& [key, value] : node.items()) rebase(value, base);
  } else if (node.is_array()) {
    for (json& value : node) rebase(value, base);
  }
}

// The folders' runs as one: code-scanning services take one run of a tool
// per upload. Each folder keeps a base of its own, named by the folder as
// given; the folders that could not be checked are notifications of an
// invocation that failed.
json mergedRun(const std::vector<FolderReport>& reports) {
  json run = sarifRun(reports.front().context, {}, {});
  run["originalUriBaseIds"] = json::object();
  json notifications = json::array();
  for (std::size_t i = 0; i < reports.size(); ++i) {
    const FolderReport& report = reports[i];
    const std::string base = kBase + std::to_string(i + 1);
    run["originalUriBaseIds"][base] = {{"uri", folderUri(report.context.folder)},
                                       {"description", message(shownFolder(report.context))}};
    if (!report.error.empty()) {
      notifications.push_back({{"level", "error"}, {"message", message(report.error)}});
      continue;
    }
    for (json result : report.document["results"]) {
      rebase(result, base);
      run["results"].push_back(std::move(result));
    }
  }
  if (!notifications.empty()) {
    run["invocations"] = json::array(
        {{{"executionSuccessful", false}, {"toolExecutionNotifications", notifications}}});
  }
  return run;
}

}  // namespace

std::string sarifFolders(const std::vector<FolderReport>& reports) {
  json run = reports.size() == 1 && reports.front().error.empty() ? reports.front().document
                                                                  : mergedRun(reports);
  return dumped({{"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
                 {"version", "2.1.0"},
                 {"runs", json::array({std::move(run)})}});
}

}  // namespace check
