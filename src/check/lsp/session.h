// The language server's state and its answers: a message in, the messages
// it makes out. Checking a buffer goes through the auditor given, so that the
// protocol can be driven without the loop over standard input and output.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "check/package/audit.h"

namespace check::lsp {

using Json = nlohmann::json;

// The whole-file audit of a folder whose config.xml holds the bytes given.
using Auditor = std::function<Audit(const std::u16string& folder, std::string_view bytes)>;

// An open config.xml.
struct Document {
  std::u16string folder;  // its folder, as a path
  std::string text;       // as the client holds it, in UTF-8
  long version = 0;
  bool dirty = true;  // changed since its last check
  long checkedVersion = -1;
  Audit audit;                        // of checkedVersion
  std::string bytes;                  // the checked text in the encoding of config.xml on disk
  std::vector<std::u16string> lines;  // the checked text, line by line, in UTF-16
  std::map<std::u16string, Position> entries;  // where the entry of each package code begins
  std::set<std::string> published;             // the URIs its last check published diagnostics for
};

struct Session {
  Auditor auditor;
  bool initialized = false;
  bool shutdown = false;
  bool exited = false;
  bool utf8 = false;               // positions count UTF-8 bytes, not UTF-16 code units
  bool documentChanges = false;    // the client takes versioned edits
  bool deleteFiles = false;        // and the deletion of a file among them
  bool watchRegistration = false;  // the client watches files for a server that asks
  long nextRequestId = 1;
  std::map<std::string, Document> documents;  // by URI
  std::size_t checks = 0;                     // how many audits were made
};

// The JSON-RPC error codes the server answers with.
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kServerNotInitialized = -32002;

// The answer to a message whose header or body could not be read.
Json parseError(const std::string& why);

// Handles one message from the client; the responses and notifications to
// send, in order. A change only marks its document for checking (see
// checkPending()), except that a request about a document changed since its
// last check has it checked first.
std::vector<Json> handleMessage(Session& session, const Json& message);

// True when an open document waits for its check.
bool hasPending(const Session& session);

// Checks each open document changed since its last check, once, and
// publishes what was found.
std::vector<Json> checkPending(Session& session);

// The path of a file URI (fileUri() back); empty when `uri` is not one.
std::u16string uriPath(std::string_view uri);

// The link to `rule`'s entry in docs/rules.md.
std::string ruleLink(const Rule& rule);

}  // namespace check::lsp
